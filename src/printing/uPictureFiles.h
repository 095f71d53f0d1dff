#pragma once
// Picture files of the export: the kinds by their extensions, and one writer for them all. Every
// file is built in memory and replaces its target atomically; a failure leaves the old file.
//
// Kinds (TPictureFormat): the 16-colour bitmap and the metafile (EMF, or WMF for a ".wmf" name)
// of the printed page; beyond them a PDF page, an SVG drawing and a PNG image, each as large as
// the picture at the resolution pictures are recorded in.

#include <QString>

class QImage;
class QPicture;

namespace lv {

// The kind a name's extension names (".bmp", ".emf", ".wmf", ".pdf", ".svg", ".png", in any
// letter case, on the last path component); 0 when it names none.
int PictureFormatOfName(const QString& fileName);
// Whether the last path component has an extension at all ("a.b/c" has none, ".x" has one).
bool HasExtension(const QString& fileName);
// The extension a name without one gets for `format` (".bmp" for the bitmap and unknown kinds).
QString PictureExtension(int format);

// Writes `picture` (its bounding rectangle is its size) as `format`. lv::Exception on failure.
void WritePictureFile(const QPicture& picture, const QString& fileName, int format);
// Writes `image` as a bitmap file (24 bits a pixel) whatever its name says.
void WriteBitmapFile(const QImage& image, const QString& fileName);

} // namespace lv
