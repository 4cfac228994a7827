#pragma once
// The image module: PNG and JPEG pictures read into one plain record, PNG written out, flips in
// place. It reports problems as one line on stderr and a -1 result, and never ends the process;
// the caller decides. The record's pixels belong to its holder, who frees them with delete[].

struct Image {
    int width;             // pixels per row
    int height;            // rows
    int channels;          // components per pixel: gray, gray+alpha, RGB or RGBA, in file order
    int bytesPerPixel;     // always equal to channels: one byte per component
    int rowBytes;          // bytes from one row to the next; larger than width * channels for
                           // 16-bit or packed sub-byte PNG samples, which are passed through as stored
    unsigned char* pixels; // rowBytes * height bytes
};

// Fills the sizes and allocates uncleared pixels; returns the same record.
Image* alloc_image(Image* image, int width, int height, int channels);

// The largest picture side, in pixels, a reader takes unless its caller says otherwise: as large as
// any GL texture is likely to be, yet a header's claim alone can't make a reader ask for more
// than a few gigabytes.
constexpr int defaultMaxImageSide = 16384;

// Readers fill all fields and allocate new pixels (anything held before is overwritten, not freed).
// flip = true puts the picture's bottom row first, as GL uploads and glReadPixels expect.
// Only regular files are opened. On failure they return -1 with pixels null. A picture whose header
// gives a side above maxSide is refused before anything is allocated for it, with one line naming
// the file and its size; width and height then hold the header's sizes.
int read_png(const char* path, Image* image, bool flip, int maxSide = defaultMaxImageSide);
int read_jpeg(const char* path, Image* image, bool flip, int maxSide = defaultMaxImageSide);
// Picks the reader by the path's last three characters: "png"/"PNG", or "jpg"/"peg"/"JPG"/"PEG".
int load_image(const char* path, Image* image, bool flip, int maxSide = defaultMaxImageSide);

// 8-bit gray, gray+alpha, RGB or RGBA by channel count; the first row in memory becomes the top.
// Writes into a new file that takes the path's place only once the whole picture is in it
// (NewFile: a file or link there is replaced, never written through; a FIFO is refused, not waited
// on). Returns 0 when the whole picture reached the file; otherwise -1 and one line on stderr
// naming the file and the reason ("can't write shots/shot0000.png: File too large"), and whatever
// was at the path is left as it was.
int write_png(const char* path, Image image);

// The horizontal flip moves whole pixels of 8- or 16-bit samples; rows of samples packed several
// to a byte are left as they are.
void flip_image(Image* image, bool vertical, bool horizontal);
