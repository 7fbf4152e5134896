// Placeholder: the backend is being written.
