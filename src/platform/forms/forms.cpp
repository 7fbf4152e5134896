// Placeholder: the forms runtime is being written.
