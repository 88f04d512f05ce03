#include "monitor/StatusView.h"

std::optional<QString> StateText(uint8_t state)
{
    switch (state) {
    case 0: return QStringLiteral("Программирование");
    case 1: return QStringLiteral("Слишком большой ток в режиме программирования");
    case 2: return QStringLiteral("Микроконтроллер PIC не найден...");
    case 3: return QStringLiteral("Закончились серийные номера...");
    case 4: return QStringLiteral("Не найдена прошивка...");
    case 5: return QStringLiteral("Ошибка записи во FLASH...");
    case 6: return QStringLiteral("Ошибка записи конфигурации...");
    case 99: return QStringLiteral("Программирование успешно завершено...");
    case 100: return QStringLiteral("Режим тестирования");
    case 200: return QStringLiteral("Режим контроля тока - подано питание");
    case 201: return QStringLiteral("Режим контроля тока - превышен ток - снято питание");
    case 255: return QStringLiteral("Нет действий");
    default: return std::nullopt;
    }
}

std::optional<QString> StageText(uint8_t stage)
{
    // Stages 1, 7 and 18 start with a Latin C, as the stand's texts always have.
    static const char* const texts[] = {
        "Ожидание подключения счётчика...",
        "C\u0447ётчик подключился...",
        "Запрошен байт 0 адреса...",
        "Запрошен байт 1 адреса...",
        "Запрошен байт 2 адреса...",
        "Запрошена КС адреса...",
        "Запрошен байт результата теста...",
        "C\u0447ётчик подключён...",
        "Выполняется открывание клапана...",
        "Контроль тока открывания клапана...",
        "Выполняется закрывание клапана...",
        "Контроль тока закрывания клапана...",
        "Выполняется отключение клапана...",
        "Контроль тока отключения клапана...",
        "Выполняется тест GSM модема...",
        "Выполняется отключение GSM модема...",
        "Выполняется контроль напряжения...",
        "Выполняется контроль скорости разряда ионистора...",
        "C\u0447ётчик переводится в режим низкого потребления...",
        "Тест индикатора...Режим низкого потребления...",
    };
    if (stage >= std::size(texts))
        return std::nullopt;
    return QString::fromUtf8(texts[stage]);
}

const std::array<LampSpec, 14>& LampLayout()
{
    static const std::array<LampSpec, 14> layout{{
        {1, QStringLiteral("Датчик температуры"), 1, 0x01},
        {2, QStringLiteral("Магнитный датчик импульсов"), 1, 0x02},
        {3, QStringLiteral("Геркон переключения режима"), 1, 0x04},
        {4, QStringLiteral("Измерение напряжения батареи"), 1, 0x40},
        {9, QString::fromUtf8("C\u0442абилизатор напряжения +3.6"), 2, 0x01},
        {10, QStringLiteral("Кнопка"), 2, 0x02},
        {11, QStringLiteral("Тамперный контакт"), 2, 0x04},
        {5, QStringLiteral("Приемопередатчик радио"), 1, 0x08},
        {6, QStringLiteral("Измерение уровня радиосигнала"), 1, 0x08},
        {7, QStringLiteral("Приём радиопакетов"), 1, 0x10},
        {8, QStringLiteral("Передача радиопакетов"), 1, 0x80},
        {12, QStringLiteral("GSM модем"), 2, 0x08},
        {13, QStringLiteral("Ионистор"), 2, 0x10},
        {14, QStringLiteral("Клапан"), 2, 0x20},
    }};
    return layout;
}

std::array<QColor, 14> LampColors(const StandStatus& status)
{
    std::array<QColor, 14> colours;
    for (const LampSpec& lamp : LampLayout()) {
        QColor& c = colours[static_cast<size_t>(lamp.shape - 1)];
        if (status.Stage == 0) {
            c = Colors::Silver;
            continue;
        }
        uint8_t bits = lamp.checksByte == 1 ? status.Checks1 : status.Checks2;
        c = (bits & lamp.mask) ? Colors::Lime : Colors::Red;
    }
    return colours;
}

CurrentView CurrentDisplay(const StandStatus& status)
{
    // The unit texts are Latin on purpose: only the design-time caption is Cyrillic.
    if (status.CurrentMilliamps != 0)
        return {QString::number(status.CurrentMilliamps), QStringLiteral("[mA]"), Colors::Red};
    return {QString::number(status.CurrentMicroamps), QStringLiteral("[mkA]"), Colors::Black};
}

bool WriteSerialEnabled(bool firmwareCommandRunning, const StandStatus& last, const StandInfo& info)
{
    return !firmwareCommandRunning && last.State == kStateIdle && info.FirmwareVersion > 1;
}

std::vector<EventEntry> EventEntries(const StandStatus& status)
{
    std::vector<EventEntry> entries;
    const QString ok = QStringLiteral("OK");
    if (status.Events & 0x01)
        entries.push_back({(status.Events & 0x04) ? QStringLiteral("Программирование") : QStringLiteral("Повтор програм."), ok});
    if (status.Events & 0x02)
        entries.push_back({QStringLiteral("Программирование"), QStringLiteral("Ошибка ") + QString::number(status.State)});
    if (status.Events & 0x08)
        entries.push_back({QStringLiteral("Тестирование"), ok});
    return entries;
}
