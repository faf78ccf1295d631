// taglib_peer: runs the matrix's read and write jobs through TagLib.
#include "taglib_peer.h"

int main() { return interop::RunJobs(interop::TaglibRead, interop::TaglibWrite); }
