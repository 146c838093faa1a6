// Built with the metadata issue.
