#include "ui/byte_length_validator.h"

namespace korvane {

QValidator::State ByteLengthValidator::validate(QString& input, int&) const {
    return input.toUtf8().size() <= limit_ ? Acceptable : Invalid;
}

}  // namespace korvane
