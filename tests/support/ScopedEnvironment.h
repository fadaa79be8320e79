#pragma once
// Environment variables changed for a scope: at its end each is put back as it was, and one that
// was unset is unset again (not left set to an empty value).

#include <QString>
#include <optional>
#include <vector>

class ScopedEnvironment {
public:
    ScopedEnvironment() = default;
    ScopedEnvironment(const char* name, const QString& value) { Set(name, value); }
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second) {
                qputenv(it->first.constData(), *it->second);
            } else {
                qunsetenv(it->first.constData());
            }
        }
    }
    // A null value unsets the variable.
    ScopedEnvironment& Set(const char* name, const QString& value) {
        m_saved.emplace_back(name,
                             qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        value.isNull() ? qunsetenv(name) : qputenv(name, value.toLocal8Bit());
        return *this;
    }

private:
    std::vector<std::pair<QByteArray, std::optional<QByteArray>>> m_saved;
};
