// tagmill_peer: runs the matrix's read and write jobs through the library.
#include "tagmill_peer.h"

int main() { return interop::RunJobs(interop::TagmillRead, interop::TagmillWrite); }
