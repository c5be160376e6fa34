#pragma once

#include "support/TempDir.h"

// The folder scratch folders go to: $TOLVANE_BENCH_DIR when it is an absolute
// path, else the temporary folder.
std::filesystem::path scratchBase();

// A fresh folder on the local disk below scratchBase(), removed with its
// contents at the end.
class ScratchDir : public TempDir {
  public:
    ScratchDir() : TempDir(scratchBase(), "tolvane-bench") {}
};
