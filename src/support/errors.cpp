#include "support/errors.h"

#include <utility>

namespace ovra {

Error::Error(QString description)
    : m_description(std::move(description)), m_utf8(m_description.toUtf8()) {}

} // namespace ovra
