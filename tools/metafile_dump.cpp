// Prints a metafile's records one per line, with the fields the player reads from them:
//   metafile_dump FILE
#include "tools/MetafileDump.h"

#include <QFile>

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: metafile_dump FILE\n";
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::cerr << argv[1] << ": " << file.errorString().toStdString() << '\n';
        return 2;
    }
    const QByteArray bytes = file.readAll();
    return metafile::dumpMetafile(bytes, std::cout) ? 0 : 1;
}
