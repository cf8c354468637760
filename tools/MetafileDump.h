#pragma once

#include <QByteArrayView>

#include <ostream>

namespace metafile {

// Writes one line per record of a WMF or EMF file, in order: where it stands (record index and
// byte offset), its type's documented name, its size and the fields the player reads from it;
// the GDI+ records an EMF comment carries follow their comment, indented. On a file that breaks
// off, the last line says where and why. False when the file is not a metafile or is broken.
bool dumpMetafile(QByteArrayView file, std::ostream& out);

} // namespace metafile
