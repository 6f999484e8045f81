// A reader that owns the bytes it reads: the text read from a file is handed
// over, not copied, and goes when the reader is closed (a manifest's reader is
// closed once its rows are loaded, before they are sorted).
#pragma once
#include "verify/mem_reader.h"

#include <string>
#include <utility>

class CTextReader : public CMemReader {
public:
    explicit CTextReader(std::string bytes) : CMemReader(static_cast<LPCSTR>(nullptr)), text(std::move(bytes))
    {
        ViewData(text.data(), static_cast<DWORD>(text.size()));
    }

    void Close() override
    {
        CMemReader::Close();
        std::string().swap(text);
    }

private:
    std::string text;
};
