// The shipped images' handler for an exception nobody catches. The compiler's
// default one prints the exception's demangled type to the standard error
// stream, which neither the launcher nor the installer's custom-action server
// has, and brings the demangler and a formatted-output library into the image
// (about 70 KB). This one ends the process the same way, by abort().
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx
