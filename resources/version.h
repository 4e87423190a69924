// The program's version, in the one place it is kept: the resources'
// version information uses it, and scripts/package names the release files
// after QUORVEL_VERSION_TEXT (and stops when the two forms disagree).
#pragma once
#define QUORVEL_VERSION_NUMBERS 1,5,1,0
#define QUORVEL_VERSION_TEXT "1.5.1.0"
