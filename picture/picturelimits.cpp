#include "picture/picturelimits.h"

#include "base/runtimeerror.h"

namespace lumora::picture {

void refusePicture()
{
    throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
}

} // namespace lumora::picture
