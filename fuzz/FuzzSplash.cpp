// libFuzzer target for the viewer's splash picture reader: the BMP checks in
// front of the toolkit's BMP decoder must let nothing through that the
// decoder cannot take in bounded time and memory.
#include <wx/image.h>
#include <wx/init.h>

#include <cstdint>
#include <cstdio>

#include "fuzz/FuzzFile.h"
#include "orvane/ui/SplashDlg.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static wxInitializer init(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = FuzzFilePath("splash") + ".bmp";
    if (!WriteFuzzFile(path, data, size)) return 0;
    wxImage image;
    if (LoadBmpFile(wxString::FromUTF8(path), &image) && (!image.IsOk() || image.GetWidth() <= 0))
        __builtin_trap();
    return 0;
}
