#pragma once
// What a service command leaves for its handler to show in a message box.
#include <QString>

struct ServiceMessage {
    enum class Icon { None, Stop };

    QString caption;  // "Ошибка", "Внимание", "Информация", "Успешно"
    QString text;     // empty: nothing to show
    Icon icon = Icon::None;

    bool IsEmpty() const { return text.isEmpty(); }

    static ServiceMessage None() { return {}; }
    static ServiceMessage Error(const QString& text) { return {QStringLiteral("Ошибка"), text, Icon::Stop}; }
    static ServiceMessage Plain(const QString& caption, const QString& text) { return {caption, text, Icon::None}; }
};
