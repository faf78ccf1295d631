"""Adapters for each reader and writer of the matrix, one module per peer."""
