// Writes the generated resources of the Windows program into one folder:
// the picture of the main window (bitmap 101), the program icon (104) and
// the string table, taken from the same table the portable code shows its
// numbered messages from, so the two cannot drift apart. Built and run on
// the build machine; nothing binary is kept in the repository.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "link/error_report.h"

namespace r7700 {
namespace {

struct Color {
  uint8_t r, g, b, a;
};

constexpr Color kPanel{0xd8, 0xdf, 0xe8, 0xff};
constexpr Color kScreen{0x10, 0x24, 0x1c, 0xff};
constexpr Color kGrid{0x22, 0x46, 0x36, 0xff};
constexpr Color kTrace{0xf0, 0xe0, 0x40, 0xff};
constexpr Color kLabel{0x1c, 0x3c, 0x78, 0xff};
constexpr Color kBody{0x3a, 0x5a, 0x8c, 0xff};
constexpr Color kClear{0, 0, 0, 0};

struct Canvas {
  int width;
  int height;
  std::vector<Color> pixels;

  Canvas(int w, int h, Color fill) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}

  void Set(int x, int y, Color c) {
    if (x >= 0 && y >= 0 && x < width && y < height)
      pixels[size_t(y) * size_t(width) + size_t(x)] = c;
  }
  void Fill(int x0, int y0, int x1, int y1, Color c) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) Set(x, y, c);
  }
  // A vertical run from y0 to y1 inclusive, in either order.
  void Column(int x, int y0, int y1, Color c) {
    if (y0 > y1) std::swap(y0, y1);
    for (int y = y0; y <= y1; ++y) Set(x, y, c);
  }
};

// A fibre trace as the instrument draws it: launch reflection, steady
// attenuation, a splice loss, a connector reflection, the fibre end and the
// noise floor. Returns the trace height (0 top, 1 bottom) at fraction t.
double TraceLevel(double t, unsigned& noise) {
  if (t < 0.04) return 0.05;
  double level = 0.12 + t * 0.55;
  if (t > 0.38) level += 0.07;                    // splice loss
  if (t > 0.62 && t < 0.65) return level - 0.35;  // connector reflection
  if (t > 0.80 && t < 0.83) return 0.30;          // fibre end
  if (t >= 0.83) {
    noise = noise * 1103515245u + 12345u;
    return 0.86 + double((noise >> 16) % 9) / 100.0;
  }
  return level;
}

void DrawTrace(Canvas& canvas, int x0, int y0, int x1, int y1) {
  canvas.Fill(x0, y0, x1, y1, kScreen);
  for (int x = x0 + 8; x < x1; x += 16) canvas.Column(x, y0, y1 - 1, kGrid);
  for (int y = y0 + 6; y < y1; y += 12)
    for (int x = x0; x < x1; ++x) canvas.Set(x, y, kGrid);
  unsigned noise = 7;
  const int span = x1 - x0 - 2;
  const int rise = y1 - y0 - 3;
  int last = -1;
  for (int x = 0; x <= span; ++x) {
    const int y = y0 + 1 + int(TraceLevel(double(x) / span, noise) * rise);
    canvas.Column(x0 + 1 + x, last < 0 ? y : last, y, kTrace);
    last = y;
  }
}

// Five-by-seven glyphs of the few characters the picture spells.
void DrawText(Canvas& canvas, int x, int y, int scale, std::string_view text, Color c) {
  struct Glyph {
    char ch;
    uint8_t rows[7];
  };
  static constexpr Glyph kGlyphs[] = {
      {'R', {0x1e, 0x11, 0x11, 0x1e, 0x14, 0x12, 0x11}},
      {'7', {0x1f, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
      {'0', {0x0e, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0e}},
      {'O', {0x0e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0e}},
      {'T', {0x1f, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
      {'D', {0x1e, 0x11, 0x11, 0x11, 0x11, 0x11, 0x1e}},
  };
  for (char ch : text) {
    for (const Glyph& g : kGlyphs) {
      if (g.ch != ch) continue;
      for (int row = 0; row < 7; ++row)
        for (int col = 0; col < 5; ++col)
          if (g.rows[row] & (0x10 >> col))
            canvas.Fill(x + col * scale, y + row * scale, x + (col + 1) * scale,
                        y + (row + 1) * scale, c);
    }
    x += 6 * scale;
  }
}

Canvas Picture() {
  Canvas canvas(214, 84, kPanel);
  DrawTrace(canvas, 6, 6, 140, 78);
  DrawText(canvas, 150, 14, 2, "R7700", kLabel);
  DrawText(canvas, 156, 48, 2, "OTDR", kBody);
  return canvas;
}

Canvas Icon(int size) {
  Canvas canvas(size, size, kClear);
  const int edge = size / 16;
  canvas.Fill(edge, edge * 2, size - edge, size - edge * 2, kBody);
  DrawTrace(canvas, edge * 3, edge * 4, size - edge * 3, size - edge * 5);
  return canvas;
}

void Put16(std::string& out, uint32_t v) {
  out += char(v & 0xff);
  out += char((v >> 8) & 0xff);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xffff);
  Put16(out, v >> 16);
}

// BITMAPINFOHEADER; icons give twice the height for colour and mask.
void PutInfoHeader(std::string& out, const Canvas& c, int height, int bits, uint32_t image_bytes) {
  Put32(out, 40);
  Put32(out, uint32_t(c.width));
  Put32(out, uint32_t(height));
  Put16(out, 1);
  Put16(out, uint32_t(bits));
  Put32(out, 0);
  Put32(out, image_bytes);
  Put32(out, 2835);
  Put32(out, 2835);
  Put32(out, 0);
  Put32(out, 0);
}

std::string BitmapFile(const Canvas& c) {
  const uint32_t row = (uint32_t(c.width) * 3 + 3) & ~3u;
  const uint32_t image = row * uint32_t(c.height);
  std::string out = "BM";
  Put32(out, 14 + 40 + image);
  Put32(out, 0);
  Put32(out, 14 + 40);
  PutInfoHeader(out, c, c.height, 24, image);
  for (int y = c.height - 1; y >= 0; --y) {
    std::string line;
    for (int x = 0; x < c.width; ++x) {
      const Color& p = c.pixels[size_t(y) * size_t(c.width) + size_t(x)];
      line += char(p.b);
      line += char(p.g);
      line += char(p.r);
    }
    line.resize(row, '\0');
    out += line;
  }
  return out;
}

std::string IconImage(const Canvas& c) {
  const uint32_t mask_row = ((uint32_t(c.width) + 31) / 32) * 4;
  std::string out;
  PutInfoHeader(out, c, c.height * 2, 32, 0);
  for (int y = c.height - 1; y >= 0; --y)
    for (int x = 0; x < c.width; ++x) {
      const Color& p = c.pixels[size_t(y) * size_t(c.width) + size_t(x)];
      out += char(p.b);
      out += char(p.g);
      out += char(p.r);
      out += char(p.a);
    }
  // The alpha channel decides transparency; the mask only matters to
  // displays without it, which see the transparent parts set in it.
  for (int y = c.height - 1; y >= 0; --y) {
    std::string line(mask_row, '\0');
    for (int x = 0; x < c.width; ++x)
      if (c.pixels[size_t(y) * size_t(c.width) + size_t(x)].a == 0)
        line[size_t(x / 8)] = char(line[size_t(x / 8)] | (0x80 >> (x % 8)));
    out += line;
  }
  return out;
}

std::string IconFile(const std::vector<Canvas>& sizes) {
  std::string out;
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, uint32_t(sizes.size()));
  std::vector<std::string> images;
  for (const Canvas& c : sizes) images.push_back(IconImage(c));
  uint32_t offset = 6 + 16 * uint32_t(sizes.size());
  for (size_t i = 0; i < sizes.size(); ++i) {
    out += char(sizes[i].width);
    out += char(sizes[i].height);
    out += '\0';
    out += '\0';
    Put16(out, 1);
    Put16(out, 32);
    Put32(out, uint32_t(images[i].size()));
    Put32(out, offset);
    offset += uint32_t(images[i].size());
  }
  for (const std::string& image : images) out += image;
  return out;
}

// The string table in resource script form, with the texts escaped.
std::string StringTableScript() {
  std::string out = "STRINGTABLE\nBEGIN\n";
  for (int entry = 1; !StringTableEntry(entry).empty(); ++entry) {
    out += "  " + std::to_string(entry) + ", \"";
    for (char ch : StringTableEntry(entry)) {
      if (ch == '\n')
        out += "\\n";
      else if (ch == '\\')
        out += "\\\\";
      else if (ch == '"')
        out += "\"\"";
      else
        out += ch;
    }
    out += "\"\n";
  }
  return out + "END\n";
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace
}  // namespace r7700

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: art_generator OUTPUT_FOLDER\n");
    return 64;
  }
  const std::string folder = argv[1];
  using namespace r7700;
  const bool ok = WriteFile(folder + "/picture.bmp", BitmapFile(Picture())) &&
                  WriteFile(folder + "/app.ico", IconFile({Icon(32), Icon(16)})) &&
                  WriteFile(folder + "/string_table.rc", StringTableScript());
  if (!ok) {
    std::fprintf(stderr, "art_generator: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
