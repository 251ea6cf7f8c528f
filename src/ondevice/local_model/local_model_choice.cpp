#include "ondevice/local_model/local_model_choice.h"

#include "support/bounded_json.h"

namespace ovra::LocalModelChoice {

const QStringList& preferredModels() {
    static const QStringList models{
        QStringLiteral("llama3.2:3b"), QStringLiteral("qwen2.5:3b"), QStringLiteral("gemma2:2b"),
        QStringLiteral("phi3.5"),      QStringLiteral("llama3.2"),   QStringLiteral("qwen2.5"),
        QStringLiteral("gemma3"),      QStringLiteral("phi3"),       QStringLiteral("mistral"),
    };
    return models;
}

std::optional<QStringList> parseTags(const QByteArray& body) {
    const auto json = BoundedJson::parse(body);
    if (!json.is_object() || !json.contains("models") || !json["models"].is_array())
        return std::nullopt;
    QStringList names;
    for (const auto& model : json["models"]) {
        if (!model.is_object())
            continue;
        // Older servers give "name", newer ones also "model"; both carry the tag.
        const char* field = model.contains("name") ? "name" : "model";
        if (!model.contains(field) || !model[field].is_string())
            continue;
        const QString name = QString::fromStdString(model[field].get<std::string>());
        if (!name.isEmpty())
            names.append(name);
    }
    return names;
}

std::optional<QString> choose(const QStringList& installed, const QStringList& preferred) {
    for (const QString& wanted : preferred) {
        const bool hasTag = wanted.contains(QLatin1Char(':'));
        for (const QString& name : installed) {
            if (name == wanted)
                return name;
            if (!hasTag && name.startsWith(wanted + QLatin1Char(':')))
                return name;
            if (hasTag && name.startsWith(wanted + QLatin1Char('-')))
                return name; // "…:3b-instruct-q4"
        }
    }
    if (installed.isEmpty())
        return std::nullopt;
    return installed.constFirst();
}

} // namespace ovra::LocalModelChoice
