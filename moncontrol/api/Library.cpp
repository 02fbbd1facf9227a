// The shared library's own translation unit; its exports come from the linked parts.
