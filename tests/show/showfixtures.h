#pragma once

#include "tests/support/imagemagick.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QtTest>

namespace lumora::testing {

inline bool makeFile(const QString &path, const QByteArray &bytes = "not a picture")
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace lumora::testing
