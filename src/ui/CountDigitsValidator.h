#pragma once

#include <QValidator>

// Digits of a count the machine can hold: at most the ten of 2147483647 and
// never more than it, so that what is typed, sent and stored is one number.
// A paste that does not fit is refused whole.
class CountDigitsValidator : public QValidator {
  public:
    using QValidator::QValidator;

    static constexpr long long kLargest = 2147483647;

    State validate(QString& input, int& position) const override;
};
