// Entries of one folder whose names differ only in letter case. A disc, like
// every Windows volume, cannot hold two of them; a case-sensitive host folder
// can, and then the tree is not what will be pressed.
#pragma once
#include "find_data_input.h"

#include <vector>

// Positions in found of every entry one too many: of each group of names
// equal without regard to case (the platform's comparison), the entry whose
// name the expected list carries exactly stays, or else the first found; the
// others are returned in the order found.
std::vector<size_t> FindCaseTwins(const CFindDataArray& found, const CFindDataArray& expected);
