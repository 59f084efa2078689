// kavro-clipgen: draws the download clip and writes it as an 8-bit RLE AVI (see README.md).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 272;
constexpr int kHeight = 60;
constexpr int kFrames = 25;
constexpr uint32_t kMicroSecPerFrame = 100000;

enum Colour : uint8_t {
    Background,
    Black,
    White,
    Road,
    RoadEdge,
    Red,
    DarkRed,
    Glass,
    Hub,
    Ocean,
    Land,
    OceanLine,
    Folder,
    FolderDark,
    Speed,
    Shadow,
    ColourCount
};

const uint8_t kPalette[ColourCount][3] = {
    {240, 240, 240}, // background (the window's face colour)
    {20, 20, 20},    {255, 255, 255}, {110, 110, 118}, {80, 80, 86},    {214, 36, 36},
    {150, 20, 20},   {170, 214, 240}, {170, 170, 170}, {46, 112, 204},  {70, 168, 80},
    {30, 80, 160},   {246, 204, 70},  {186, 140, 30},  {160, 160, 160}, {200, 200, 200},
};

struct Canvas {
    std::vector<uint8_t> px = std::vector<uint8_t>(kWidth * kHeight, Background);
    void set(int x, int y, uint8_t c) {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            px[y * kWidth + x] = c;
    }
    void rect(int x0, int y0, int x1, int y1, uint8_t c) { // inclusive corners
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                set(x, y, c);
    }
    void disc(double cx, double cy, double r, uint8_t c) {
        for (int y = int(cy - r) - 1; y <= int(cy + r) + 1; ++y)
            for (int x = int(cx - r) - 1; x <= int(cx + r) + 1; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    set(x, y, c);
    }
};

void drawGlobe(Canvas& c) {
    const double cx = 24, cy = 28, r = 19;
    c.disc(cx, cy, r + 1, OceanLine);
    c.disc(cx, cy, r, Ocean);
    // Land masses: a few overlapping blobs clipped to the globe.
    const double blobs[][3] = {{16, 20, 7}, {21, 15, 5}, {30, 31, 6}, {27, 38, 4}, {12, 33, 3}};
    for (const auto& b : blobs)
        for (int y = int(b[1] - b[2]); y <= int(b[1] + b[2]); ++y)
            for (int x = int(b[0] - b[2]); x <= int(b[0] + b[2]); ++x)
                if ((x - b[0]) * (x - b[0]) + (y - b[1]) * (y - b[1]) <= b[2] * b[2] &&
                    (x - cx) * (x - cx) + (y - cy) * (y - cy) <= (r - 1) * (r - 1))
                    c.set(x, y, Land);
    // Meridian and equator.
    for (int y = int(cy - r); y <= int(cy + r); ++y) {
        const double half = std::sqrt(std::max(0.0, r * r - (y - cy) * (y - cy)));
        c.set(int(cx), y, OceanLine);
        c.set(int(std::lround(cx - half * 0.55)), y, OceanLine);
        c.set(int(std::lround(cx + half * 0.55)), y, OceanLine);
    }
    for (int x = int(cx - r); x <= int(cx + r); ++x)
        c.set(x, int(cy), OceanLine);
}

void drawFolder(Canvas& c) {
    const int x0 = 228, x1 = 266, y0 = 16, y1 = 48;
    c.rect(x0, y0 - 4, x0 + 14, y0, FolderDark); // tab
    c.rect(x0 + 1, y0 - 3, x0 + 13, y0, Folder);
    c.rect(x0, y0, x1, y1, FolderDark);
    c.rect(x0 + 1, y0 + 1, x1 - 1, y1 - 1, Folder);
    c.rect(x0 + 1, y0 + 6, x1 - 1, y0 + 6, FolderDark); // the front flap's edge
}

void drawRoad(Canvas& c, int frame) {
    c.rect(44, 49, 226, 49, RoadEdge);
    c.rect(44, 50, 226, 56, Road);
    c.rect(44, 57, 226, 57, RoadEdge);
    // Dashes drift backwards, so the road seems to move under the car.
    const int offset = (frame * 5) % 20;
    for (int x = 44 - offset; x < 226; x += 20)
        for (int dx = 0; dx < 10; ++dx)
            if (x + dx >= 46 && x + dx <= 224)
                c.set(x + dx, 53, White);
}

void drawCar(Canvas& c, int x) {
    // Shadow, body, cabin with two windows, wheels with hubs.
    c.rect(x + 2, 48, x + 37, 48, Shadow);
    c.rect(x, 36, x + 39, 44, Red);
    c.rect(x, 44, x + 39, 45, DarkRed);
    c.rect(x + 37, 38, x + 39, 40, White); // head lamp
    c.rect(x, 38, x + 1, 40, DarkRed);     // tail lamp
    for (int y = 27; y < 36; ++y) {
        const int slope = (36 - y) / 2;
        c.rect(x + 9 + slope, y, x + 30 - slope, y, Red);
    }
    for (int y = 29; y < 35; ++y) {
        const int slope = (36 - y) / 2;
        c.rect(x + 12 + slope, y, x + 19, y, Glass);
        c.rect(x + 21, y, x + 27 - slope, y, Glass);
    }
    for (int wx : {x + 9, x + 30}) {
        c.disc(wx, 45, 4.6, Black);
        c.disc(wx, 45, 1.8, Hub);
    }
    // Speed lines behind it.
    for (int i = 0; i < 3; ++i)
        c.rect(x - 14 + 2 * i, 31 + 4 * i, x - 4, 31 + 4 * i, Speed);
}

Canvas drawFrame(int frame) {
    Canvas c;
    drawRoad(c, frame);
    drawGlobe(c);
    drawFolder(c);
    drawCar(c, 52 + frame * 6);
    return c;
}

// BI_RLE8: rows bottom first, runs of one colour as (count, colour), each row ended by (0, 0)
// and the picture by (0, 1).
std::vector<uint8_t> encodeRle8(const Canvas& c) {
    std::vector<uint8_t> out;
    for (int row = kHeight - 1; row >= 0; --row) {
        const uint8_t* p = &c.px[row * kWidth];
        int x = 0;
        while (x < kWidth) {
            int run = 1;
            while (x + run < kWidth && run < 255 && p[x + run] == p[x])
                ++run;
            out.push_back(uint8_t(run));
            out.push_back(p[x]);
            x += run;
        }
        out.push_back(0);
        out.push_back(row == 0 ? 1 : 0);
    }
    return out;
}

struct Writer {
    std::vector<uint8_t> b;
    void u8(uint8_t v) { b.push_back(v); }
    void u16(uint16_t v) {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void id(const char* s) { b.insert(b.end(), s, s + 4); }
    size_t begin(const char* chunkId) { // returns the position of the size field
        id(chunkId);
        const size_t at = b.size();
        u32(0);
        return at;
    }
    void end(size_t sizeAt) {
        const uint32_t size = uint32_t(b.size() - sizeAt - 4);
        for (int i = 0; i < 4; ++i)
            b[sizeAt + i] = uint8_t(size >> (8 * i));
        if (size & 1)
            u8(0);
    }
};

} // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "download.avi";
    std::vector<std::vector<uint8_t>> frames;
    size_t largest = 0;
    for (int f = 0; f < kFrames; ++f) {
        frames.push_back(encodeRle8(drawFrame(f)));
        largest = std::max(largest, frames.back().size());
    }
    const uint32_t suggested = uint32_t(largest + (largest & 1) + 8);

    Writer w;
    const size_t riff = w.begin("RIFF");
    w.id("AVI ");
    const size_t hdrl = w.begin("LIST");
    w.id("hdrl");
    const size_t avih = w.begin("avih");
    w.u32(kMicroSecPerFrame);
    w.u32(uint32_t(largest * 1000000 / kMicroSecPerFrame)); // dwMaxBytesPerSec
    w.u32(0);                                               // dwPaddingGranularity
    w.u32(0x10);                                            // AVIF_HASINDEX
    w.u32(kFrames);
    w.u32(0); // dwInitialFrames
    w.u32(1); // dwStreams
    w.u32(suggested);
    w.u32(kWidth);
    w.u32(kHeight);
    for (int i = 0; i < 4; ++i)
        w.u32(0);
    w.end(avih);
    const size_t strl = w.begin("LIST");
    w.id("strl");
    const size_t strh = w.begin("strh");
    w.id("vids");
    w.id("mrle");
    w.u32(0);  // dwFlags
    w.u16(0);  // wPriority
    w.u16(0);  // wLanguage
    w.u32(0);  // dwInitialFrames
    w.u32(1);  // dwScale
    w.u32(10); // dwRate: 10 frames a second
    w.u32(0);  // dwStart
    w.u32(kFrames);
    w.u32(suggested);
    w.u32(0xFFFFFFFFu); // dwQuality: default
    w.u32(0);           // dwSampleSize
    w.u16(0);
    w.u16(0);
    w.u16(kWidth);
    w.u16(kHeight);
    w.end(strh);
    const size_t strf = w.begin("strf");
    w.u32(40);
    w.u32(kWidth);
    w.u32(kHeight); // positive: bottom row first
    w.u16(1);       // planes
    w.u16(8);       // bits per pixel
    w.u32(1);       // BI_RLE8
    w.u32(uint32_t(largest));
    w.u32(0);
    w.u32(0);
    w.u32(ColourCount); // colours used
    w.u32(ColourCount); // colours important
    for (const auto& rgb : kPalette) {
        w.u8(rgb[2]);
        w.u8(rgb[1]);
        w.u8(rgb[0]);
        w.u8(0);
    }
    w.end(strf);
    w.end(strl);
    w.end(hdrl);

    const size_t movi = w.begin("LIST");
    const size_t moviType = w.b.size();
    w.id("movi");
    std::vector<std::pair<uint32_t, uint32_t>> index; // offset from "movi", size
    for (const auto& f : frames) {
        index.emplace_back(uint32_t(w.b.size() - moviType), uint32_t(f.size()));
        const size_t chunk = w.begin("00dc");
        w.b.insert(w.b.end(), f.begin(), f.end());
        w.end(chunk);
    }
    w.end(movi);
    const size_t idx1 = w.begin("idx1");
    for (const auto& [offset, size] : index) {
        w.id("00dc");
        w.u32(0x10); // AVIIF_KEYFRAME
        w.u32(offset);
        w.u32(size);
    }
    w.end(idx1);
    w.end(riff);

    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(w.b.data()), std::streamsize(w.b.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "kavro-clipgen: cannot write %s\n", path.c_str());
        return 1;
    }
    std::printf("%s: %zu bytes, %d frames of %dx%d\n", path.c_str(), w.b.size(), kFrames, kWidth,
                kHeight);
    return 0;
}
