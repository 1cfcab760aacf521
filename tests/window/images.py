"""Screenshots as plain pixel arrays: reading X window dumps (xwd), the few
measurements the window tests make on them, and writing PNG files.

Pixels are ints 0xRRGGBB in rows from the top, so a colour can be counted or
searched with the list operations that run at C speed.
"""

import array
import struct
import sys
import zlib

XWD_HEADER = struct.Struct(">25I")


def rgb(red, green, blue):
  return (red << 16) | (green << 8) | blue


def channels(pixel):
  return (pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF


class Image:
  def __init__(self, width, height, pixels):
    if len(pixels) != width * height:
      raise ValueError("pixel count does not match the size")
    self.width = width
    self.height = height
    self.pixels = pixels

  def __eq__(self, other):
    return (self.width, self.height, self.pixels) == (other.width, other.height, other.pixels)

  def row(self, y):
    return self.pixels[y * self.width:(y + 1) * self.width]

  def count(self, colour):
    return self.pixels.count(colour)

  def colours(self):
    """The set of colours present."""
    return set(self.pixels)

  def box(self, colour):
    """(left, top, right, bottom), inclusive, of the pixels of one colour, or
    None when there are none."""
    left = top = right = bottom = None
    for y in range(self.height):
      line = self.row(y)
      if colour not in line:
        continue
      first = line.index(colour)
      last = self.width - 1 - line[::-1].index(colour)
      left = first if left is None else min(left, first)
      right = last if right is None else max(right, last)
      top = y if top is None else top
      bottom = y
    return None if left is None else (left, top, right, bottom)

  def crop(self, left, top, width, height):
    if left < 0 or top < 0 or left + width > self.width or top + height > self.height:
      raise ValueError("crop outside the image")
    pixels = []
    for y in range(top, top + height):
      pixels.extend(self.pixels[y * self.width + left:y * self.width + left + width])
    return Image(width, height, pixels)


def sideBySide(first, second, gap, background):
  """The two images next to each other, gap pixels of background between."""
  height = max(first.height, second.height)
  width = first.width + gap + second.width
  pixels = []
  for y in range(height):
    for image in (first, second):
      if y < image.height:
        pixels.extend(image.row(y))
      else:
        pixels.extend([background] * image.width)
      if image is first:
        pixels.extend([background] * gap)
  return Image(width, height, pixels)


def _maskShift(mask):
  shift = 0
  while mask and not mask & 1:
    mask >>= 1
    shift += 1
  return shift, mask


def readXwd(data):
  """An Image from the bytes of an xwd dump of a TrueColor window."""
  if len(data) < XWD_HEADER.size:
    raise ValueError("xwd dump too short")
  (headerSize, version, pixmapFormat, depth, width, height, _xoffset, byteOrder, _unit,
   _bitOrder, _pad, bitsPerPixel, bytesPerLine, visualClass, redMask, greenMask, blueMask,
   _bitsPerRgb, _entries, colourCount, *_rest) = XWD_HEADER.unpack_from(data)
  if version != 7 or pixmapFormat != 2 or visualClass not in (4, 5):
    raise ValueError("only version 7 ZPixmap dumps of TrueColor windows are read")
  if bitsPerPixel != 32 or depth != 24:
    raise ValueError(f"unexpected pixel layout: depth {depth}, {bitsPerPixel} bits")
  start = headerSize + 12 * colourCount
  if len(data) < start + bytesPerLine * height:
    raise ValueError("xwd dump truncated")
  words = array.array("I")
  for y in range(height):
    offset = start + y * bytesPerLine
    words.frombytes(data[offset:offset + 4 * width])
  if (byteOrder == 0) != (sys.byteorder == "little"):
    words.byteswap()
  if (redMask, greenMask, blueMask) == (0xFF0000, 0xFF00, 0xFF):
    pixels = [word & 0xFFFFFF for word in words]
  else:
    masks = [_maskShift(m) for m in (redMask, greenMask, blueMask)]
    pixels = []
    for word in words:
      values = [((word >> shift) & size) * 255 // size for shift, size in masks]
      pixels.append(rgb(*values))
  return Image(width, height, pixels)


def _chunk(kind, body):
  return (struct.pack(">I", len(body)) + kind + body
          + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))


def pngBytes(image):
  """An 8-bit RGB PNG of the image."""
  raw = bytearray()
  for y in range(image.height):
    raw.append(0)  # no filter
    for pixel in image.row(y):
      raw.extend(channels(pixel))
  header = struct.pack(">IIBBBBB", image.width, image.height, 8, 2, 0, 0, 0)
  return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header)
          + _chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + _chunk(b"IEND", b""))
