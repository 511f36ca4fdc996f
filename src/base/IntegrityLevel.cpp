#include "base/IntegrityLevel.h"

bool IsBelowMedium(std::optional<unsigned long> integrity)
{
    return integrity && *integrity < kMediumIntegrity;
}

ObjectLabel LabelForCreator(std::optional<unsigned long> integrity)
{
    return IsBelowMedium(integrity) ? ObjectLabel::Low : ObjectLabel::Default;
}
