#include "platform/wmf/wmfpicture.h"

#include "platform/runtimeerror.h"

namespace lumora::platform::wmf {

std::shared_ptr<const VectorPicture> loadWmf(QByteArrayView)
{
    throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
}

} // namespace lumora::platform::wmf
