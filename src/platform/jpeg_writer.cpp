#include "platform/jpeg_writer.h"

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace talvenor {

namespace {

// libjpeg's default error handler ends the process; ours jumps back into
// Encode, which gives up.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf escape;
};

[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

void Quiet(j_common_ptr, int) {}

// Only plain C objects live in this frame, so the long jump skips no
// destructor. rgb holds height rows of width * 3 bytes, bytesPerLine apart.
bool Encode(FILE* out, const unsigned char* rgb, int width, int height, int bytesPerLine) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.base);
    err.base.error_exit = OnError;
    err.base.emit_message = Quiet;
    if (setjmp(err.escape)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t(cinfo.next_scanline) * size_t(bytesPerLine));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

}  // namespace

bool SaveJpeg(const QImage& image, const std::string& path) {
    if (image.isNull() || path.empty()) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) return false;

    // A temporary file beside the target, renamed over it when complete.
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0) return false;
    FILE* out = fdopen(fd, "wb");
    if (!out) {
        close(fd);
        unlink(temp.c_str());
        return false;
    }
    bool ok = Encode(out, rgb.constBits(), rgb.width(), rgb.height(), int(rgb.bytesPerLine()));
    ok = std::fflush(out) == 0 && ok;
    ok = std::ferror(out) == 0 && ok;
    ok = std::fclose(out) == 0 && ok;
    // mkstemp makes the file private; the snapshot is an ordinary file.
    ok = ok && chmod(temp.c_str(), 0644) == 0;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace talvenor
