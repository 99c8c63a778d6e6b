#pragma once

#include "picture/picture.h"

#include <QByteArrayView>
#include <memory>

namespace lumora::picture::wmf {

// Parses a Windows metafile (placeable or standard header) into a picture that replays its
// records at any scale. Throws RuntimeError (errors::InvalidPicture) when the file cannot be
// drawn.
std::shared_ptr<const VectorPicture> loadWmf(QByteArrayView bytes);

} // namespace lumora::picture::wmf
