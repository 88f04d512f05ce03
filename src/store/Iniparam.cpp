#include "store/Iniparam.h"

#include "store/Decimal.h"

namespace {

char FoldAscii(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool IniNameEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

TIniParam* TIniSection::FindParam(std::string_view key) const
{
    for (const auto& p : params_)
        if (p->NameIs(key))
            return p.get();
    return nullptr;
}

TIniParam* TIniSection::GetParam(int index) const
{
    if (index < 0 || index >= ParamCount())
        return nullptr;
    return params_[static_cast<size_t>(index)].get();
}

void TIniSection::AddParam(std::unique_ptr<TIniParam> param)
{
    if (param)
        params_.push_back(std::move(param));
}

std::string TIniSection::ReadString(std::string_view key, std::string_view def) const
{
    const TIniParam* p = FindParam(key);
    return p ? p->Value() : std::string(def);
}

int32_t TIniSection::ReadInteger(std::string_view key, int32_t def) const
{
    const TIniParam* p = FindParam(key);
    return p ? LeadingInt(p->Value()) : def;
}

bool TIniSection::ReadBool(std::string_view key, bool def) const
{
    const TIniParam* p = FindParam(key);
    return p ? LeadingInt(p->Value()) != 0 : def;
}

void TIniSection::WriteString(std::string_view key, std::string_view value)
{
    if (TIniParam* p = FindParam(key))
        p->SetValue(value);
    else
        params_.push_back(std::make_unique<TIniParam>(key, value));
}

void TIniSection::WriteInteger(std::string_view key, int32_t value)
{
    WriteString(key, std::to_string(value));
}

void TIniSection::WriteBool(std::string_view key, bool value)
{
    WriteString(key, value ? "1" : "0");
}
