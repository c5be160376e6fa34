#pragma once

// A write past the file size limit (RLIMIT_FSIZE) raises SIGXFSZ, whose
// default action ends the whole program. With the signal ignored the write
// fails with EFBIG instead, and the record or setting is reported as not
// written. A handler someone else installed stays. Safe to call from any
// thread, any number of times; the program calls it before its first write.
void ignoreFileSizeSignal();
