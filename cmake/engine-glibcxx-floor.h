/* Included first in every C++ file of the Linux engine builds
 * (scripts/provision-engine.sh passes it with -include).
 *
 * GCC 12's libstdc++ gave std::condition_variable::wait a second symbol
 * version, GLIBCXX_3.4.30, beside the GLIBCXX_3.4.11 one every libstdc++ since
 * GCC 4.4 has; the two differ only in how a cancelled thread unwinds, which
 * the engine never does. Binding the older one keeps the engine within GCC
 * 11's C++ runtime (glibc 2.34 systems such as RHEL 9), the floor the rest of
 * it already has. */
#ifdef __cplusplus
__asm__(".symver _ZNSt18condition_variable4waitERSt11unique_lockISt5mutexE,"
        "_ZNSt18condition_variable4waitERSt11unique_lockISt5mutexE@GLIBCXX_3.4.11");
#endif
