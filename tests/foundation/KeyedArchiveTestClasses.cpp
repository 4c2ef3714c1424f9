#include "KeyedArchiveTestClasses.h"

#include "foundation/KeyedArchiver.h"
#include "foundation/KeyedUnarchiver.h"

namespace archivetest {

using fnd::CodingPtr;
using fnd::KeyedUnarchiver;

void Swatch::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  coder.encodeString(name, "name");
  coder.encodeDouble(red, "red");
  coder.encodeDouble(green, "green");
  coder.encodeDouble(blue, "blue");
}

void Palette::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  coder.encodeString(title, "title");
  coder.encodeInt32(columns, "columns");
  coder.encodeInt64(serial, "serial");
  coder.encodeBool(locked, "locked");
  coder.encodeFloat(gamma, "gamma");
  coder.encodeRect(frame, "frame");
  coder.encodePoint(origin, "origin");
  coder.encodeSize(cell, "cell");
  coder.encodeData(thumbnail, "thumbnail");
  coder.encodeObject(QVariant::fromValue(CodingPtr(primary)), "primary");
  coder.encodeObject(QVariant::fromValue(CodingPtr(accent)), "accent");
  coder.encodeObject(extras, "extras");
}

void Link::encodeWithCoder(fnd::KeyedArchiver& coder) const {
  coder.encodeObject(QVariant::fromValue(CodingPtr(next)), "next");
}

void registerClasses() {
  KeyedUnarchiver::registerClass("TSSwatch", [](KeyedUnarchiver& coder) -> CodingPtr {
    auto swatch = std::make_shared<Swatch>();
    swatch->name = coder.decodeStringForKey("name");
    swatch->red = coder.decodeDoubleForKey("red");
    swatch->green = coder.decodeDoubleForKey("green");
    swatch->blue = coder.decodeDoubleForKey("blue");
    return swatch;
  });
  // Registered under the ancestor: archives name the subclass first and
  // the reader falls back along "$classes".
  KeyedUnarchiver::registerClass("TSCollection", [](KeyedUnarchiver& coder) -> CodingPtr {
    auto palette = std::make_shared<Palette>();
    palette->title = coder.decodeStringForKey("title");
    palette->columns = coder.decodeInt32ForKey("columns");
    palette->serial = coder.decodeInt64ForKey("serial");
    palette->locked = coder.decodeBoolForKey("locked");
    palette->gamma = coder.decodeFloatForKey("gamma");
    palette->frame = coder.decodeRectForKey("frame");
    palette->origin = coder.decodePointForKey("origin");
    palette->cell = coder.decodeSizeForKey("cell");
    palette->thumbnail = coder.decodeDataForKey("thumbnail");
    palette->primary = coder.decodeObjectOfClass<Swatch>("primary");
    palette->accent = coder.decodeObjectOfClass<Swatch>("accent");
    palette->extras = coder.decodeObjectForKey("extras").toList();
    return palette;
  });
  KeyedUnarchiver::registerClass("TSLink", [](KeyedUnarchiver& coder) -> CodingPtr {
    auto link = std::make_shared<Link>();
    link->next = coder.decodeObjectOfClass<Link>("next");
    return link;
  });
}

}  // namespace archivetest
