#pragma once
// Drawing services: pictures, canvases, a drawing context, text, snapshots, PNG encoding and the
// base-image loader. Coordinates are in pixels with the origin at the bottom-left, y up.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/memory.h"

namespace platform {

// A colour in RGB with alpha, components in [0, 1].
struct Color {
  double red = 0, green = 0, blue = 0, alpha = 1;
  bool operator==(const Color&) const = default;
};

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
};
struct Size {
  double width = 0, height = 0;
};

// (x + d, y + d, w - 2d, h - 2d).
Rect insetRect(Rect r, double d);
double midX(Rect r);
double midY(Rect r);

// Largest edge a decoded or created picture may have.
inline constexpr int kMaxPictureEdge = 16384;

// Storage for width * height RGBA pixels, zeroed; the caller checks the edges first.
using PixelBuffer = Block<uint8_t>;
PixelBuffer allocatePixels(int width, int height);

// An immutable picture of 8-bit RGBA pixels with straight alpha, rows top to bottom. Copies
// share the pixels.
class RasterImage {
 public:
  RasterImage(int width, int height, PixelBuffer rgba);
  int width() const { return width_; }
  int height() const { return height_; }
  std::span<const uint8_t> rgba() const {
    return {pixels_.get(), static_cast<size_t>(width_) * height_ * 4};
  }

 private:
  int width_, height_;
  std::shared_ptr<const uint8_t[]> pixels_;
};

class PictureSource;
class Pyramid;
struct CanvasPixels;

// A loaded base image: one picture, or several stored resolutions of the same icon. Copies share
// the decoded pictures.
class Image {
 public:
  // Decodes the file at path (relative to the working directory) by its content: ICNS, PNG, JPEG,
  // GIF, BMP, TIFF or WebP. Nothing when the file is missing, unreadable or not a decodable image.
  static std::optional<Image> load(const std::string& path);
  static std::optional<Image> fromBytes(std::span<const uint8_t> bytes);
  static Image fromPicture(RasterImage picture);

  // The stored picture to draw at an edge of `pixels`: the smallest at least that large, else the
  // largest. Each stored picture is decoded at most once. Nothing when none decodes.
  std::optional<RasterImage> pictureFor(int pixels) const;

 private:
  friend class DrawingContext;
  explicit Image(std::shared_ptr<PictureSource> source) : source_(std::move(source)) {}
  // The picture pictureFor(pixels) gives, with its cached halvings.
  Pyramid* pyramidFor(int pixels) const;
  std::shared_ptr<PictureSource> source_;
};

// A transparent square RGBA canvas of size x size pixels.
class Canvas {
 public:
  // Nothing when size is not in 1..kMaxPictureEdge.
  static std::optional<Canvas> create(int size);
  int size() const { return size_; }

 private:
  friend class DrawingContext;
  friend std::optional<RasterImage> snapshot(const Canvas& canvas);
  friend CanvasPixels canvasPixels(Canvas& canvas);
  explicit Canvas(int size);
  int size_;
  // RGBA premultiplied, 16 bits per channel, rows top to bottom; zero is transparent.
  Block<uint16_t> premultiplied_;
};

enum class Interpolation { kDefault, kHigh };
enum class FontWeight { kRegular, kHeavy };
enum class TextAlignment { kNatural, kCentered };

struct Font {
  double pointSize = 12;
  FontWeight weight = FontWeight::kRegular;
};

// The heavy system font (Inter ExtraBold, built in) at the given size, not rounded.
Font systemFont(double pointSize, FontWeight weight);

struct StyledText {
  std::string text;  // UTF-8
  Font font;
  Color color;
  TextAlignment alignment = TextAlignment::kNatural;
};

// Width and line height of the text set on one line.
Size measureText(const StyledText& text);

// Draws into a canvas. Every fill is composited source-over onto what is there.
class DrawingContext {
 public:
  static std::optional<DrawingContext> create(Canvas& canvas);
  void setImageInterpolation(Interpolation interpolation) { interpolation_ = interpolation; }
  void setFillColor(Color color) { fill_ = color; }
  // Fills the ellipse inscribed in the rectangle, anti-aliased.
  void fillOval(Rect rect);
  // Draws the whole image scaled into the rectangle at full opacity.
  void drawImage(const Image& image, Rect rect);
  // Sets the text on one line in the rectangle, its line box at the rectangle's top, clipped only
  // by the canvas.
  void drawText(const StyledText& text, Rect rect);

 private:
  explicit DrawingContext(Canvas& canvas) : canvas_(&canvas) {}
  Canvas* canvas_;
  Interpolation interpolation_ = Interpolation::kDefault;
  Color fill_{0, 0, 0, 1};
};

// Keeps the current drawing context and reinstates it when it goes out of scope.
class SavedGraphicsState {
 public:
  SavedGraphicsState();
  ~SavedGraphicsState();
  SavedGraphicsState(const SavedGraphicsState&) = delete;
  SavedGraphicsState& operator=(const SavedGraphicsState&) = delete;

 private:
  DrawingContext* saved_;
};
void setCurrentContext(DrawingContext* context);
DrawingContext* currentContext();

// The canvas pixels drawn so far, converted to straight alpha. Nothing only when memory fails.
std::optional<RasterImage> snapshot(const Canvas& canvas);

// The libdeflate level PNG encoding uses.
inline constexpr int kPngDeflateLevel = 5;

// PNG bytes of the image (8-bit RGBA, no time or software chunks) declaring the nominal size in
// points through its physical pixel density. Nothing when the image cannot be encoded.
std::optional<std::vector<uint8_t>> encodePng(const RasterImage& image, Size nominalSize);

}  // namespace platform
