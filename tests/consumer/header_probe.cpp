// Compiles the one header named by PROBE_HEADER on its own, through the include
// path a caller of the library gets (see CMakeLists.txt beside this file).
#include PROBE_HEADER
