#pragma once

class QLineEdit;

// Masks a password field with "*" for each character (Masked) or shows it in clear.
void MaskWithStars(QLineEdit* Edit, bool Masked);
bool IsMasked(const QLineEdit* Edit);
