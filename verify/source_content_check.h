// Body of CheckContentOfItems: the installation source against the embedded MD5 manifest.
#pragma once

// 1 when every listed file below sourcePath has its listed digest, 0 otherwise.
int CheckSourceContent(const char* sourcePath, int recursive);
