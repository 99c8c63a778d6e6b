#include "picture/stampedload.h"

namespace lumora::picture {

StampedLoad loadStamped(const QString &path, const LoadOptions &options)
{
    StampedLoad result;
    result.stamp = stampOf(path);
    try {
        result.picture = LoadPicture(path, options);
    } catch (const RuntimeError &error) {
        result.error = error;
    } catch (const std::bad_alloc &) {
        result.error = RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
    }
    return result;
}

std::optional<Picture> StampedLoad::takeIfCurrent(const QString &path) &&
{
    if (!(stamp == stampOf(path)))
        return std::nullopt;
    if (error && error->number() == errors::OutOfMemory)
        return std::nullopt;
    if (error)
        throw *error;
    return std::move(picture);
}

} // namespace lumora::picture
