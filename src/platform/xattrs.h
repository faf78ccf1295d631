// Extended attributes carried over from a file to the new file that replaces
// it. POSIX ACLs travel with them: Linux keeps a file's ACL in the
// system.posix_acl_access attribute (and a directory's default ACL in
// system.posix_acl_default).
#ifndef TAGMILL_PLATFORM_XATTRS_H
#define TAGMILL_PLATFORM_XATTRS_H

#include <string>

// Sets on the open file `to` every extended attribute of the file at `from`
// that this process can read. Best effort: an attribute that cannot be read
// or set (trusted.* without privilege, security labels, a file system that
// keeps no attributes) is skipped, and nothing is reported.
void tav_copy_xattrs(const std::string &from, int to);

#endif
