#include "ui/qt/byte_length_validator.h"

#include <string_view>

#include "ui/model/input_bounds.h"

namespace korvane {

QValidator::State ByteLengthValidator::validate(QString& input, int&) const {
    const QByteArray bytes = input.toUtf8();
    return fitsBound(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                     static_cast<std::size_t>(limit_))
               ? Acceptable
               : Invalid;
}

}  // namespace korvane
