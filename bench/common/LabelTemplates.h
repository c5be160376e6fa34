#pragma once

#include <string>

// Label templates of a given size for the label benchmarks: a label whose
// elements are texts, bar codes of every symbology, lines and boxes in turn.
std::string labelTemplateWithElements(int elements);
// About `bytes` long, CR LF line ends, as the template edit might hold it.
std::string labelTemplateOfSize(std::size_t bytes);
