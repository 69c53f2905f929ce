"""Prints the folder where `cmake --install` puts the module for an install prefix: the
interpreter's own site-packages for that prefix.

Debian's interpreter names /usr/local/lib/python3.X/dist-packages in a scheme of its own
("posix_local", which adds "local" to the prefix it is given); other prefixes get the usual
<prefix>/lib/python3.X/site-packages.
"""
import os
import sys
import sysconfig

prefix = sys.argv[1]
scheme = sysconfig.get_default_scheme()
if scheme == "posix_local":
    if os.path.basename(prefix.rstrip("/")) == "local":
        prefix = os.path.dirname(prefix.rstrip("/"))
    else:
        scheme = "posix_prefix"
print(sysconfig.get_path("platlib", scheme, vars={"platbase": prefix, "base": prefix}))
