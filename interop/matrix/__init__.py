"""Interoperability matrix between tagmill and other ID3 readers and writers."""
