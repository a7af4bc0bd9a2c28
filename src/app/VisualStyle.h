#pragma once

#include <QString>

// The name of the program's look; its style sheet travels among the resources.
inline const char* const VisualStyleName = "CornflowerBlue Expressive";

// Applies the style sheet at ResourcePath (the program's own when empty). When it cannot be read,
// an error box says so and the default look stays. True when applied.
bool ApplyVisualStyle(const QString& ResourcePath = QString());
