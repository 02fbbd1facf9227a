// CFError: the stand-in never makes one; calls that can report an error store NULL instead.
#pragma once

using CFErrorRef = struct CFErrorObject*;
