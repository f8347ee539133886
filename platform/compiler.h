// The compiler-specific constructs the library uses, each behind one macro,
// so that every other source is standard C++17 for any compiler.
#pragma once

#if defined(__GNUC__)  // GCC and Clang
// Lets the compiler check a printf-style format against its arguments.
#    define PRINTF_FORMAT(format_index, first_argument) \
        __attribute__((format(printf, format_index, first_argument)))
#    define ALLOW_DEPRECATED_BEGIN \
        _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wdeprecated-declarations\"")
#    define ALLOW_DEPRECATED_END _Pragma("GCC diagnostic pop")
#elif defined(_MSC_VER)
#    define PRINTF_FORMAT(format_index, first_argument)
#    define ALLOW_DEPRECATED_BEGIN __pragma(warning(push)) __pragma(warning(disable : 4996))
#    define ALLOW_DEPRECATED_END __pragma(warning(pop))
#else
#    define PRINTF_FORMAT(format_index, first_argument)
#    define ALLOW_DEPRECATED_BEGIN
#    define ALLOW_DEPRECATED_END
#endif
