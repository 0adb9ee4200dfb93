// Compiled into every program that links the node library under ThreadSanitizer: the depth-camera driver
// library that PCL's I/O pulls in unlocks a mutex it has already destroyed while the process exits. That
// report is about the driver, not about this program.
extern "C" const char* __tsan_default_suppressions() { return "called_from_lib:libOpenNI2.so.0\n"; }
