#pragma once

#include <QValidator>

namespace korvane {

// Accepts a text only while its UTF-8 form (the bytes handed to the engine) fits `limit` bytes.
// Unlike a plain length limit, a paste that is too long is refused whole instead of being cut.
class ByteLengthValidator : public QValidator {
public:
    ByteLengthValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}

    State validate(QString& input, int& position) const override;
    int limit() const { return limit_; }

private:
    int limit_;
};

}  // namespace korvane
