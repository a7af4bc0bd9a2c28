#pragma once

#include <QString>

// The secrets of the lockers checked in under tests/data/golden.
inline const QString GoldenPassword = QStringLiteral("golden password");
// The recovery code drawn from the bytes 50..5F.
inline const QString GoldenRecoveryCode = QStringLiteral("5051-5253-5455-5657-5859-5A5B-5C5D-5E5F");
