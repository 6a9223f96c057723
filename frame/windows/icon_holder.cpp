#include "frame/windows/icon_holder.h"

#include <QFile>

// Resources of a static library are registered by hand (the linker would
// drop an unreferenced initializer).
static void InitIkonaResources()
{
    Q_INIT_RESOURCE(ikona);
}

const std::vector<const char*>& TIkona::Names()
{
    static const std::vector<const char*> names = {
        "IATC",   "IATCr",  "IInd",   "IVyr",  "IZem",   "ILATC",  "ILInd",  "ILVyr",  "ILZem",  "ILNaz",
        "ILKod",  "ILRCZ",  "ILRSQ",  "ILClo", "ILEAN",  "ILHl",   "ILCl",   "ILLet",  "ILSPC",  "ILPoz",
        "ILSl",   "IKLek",  "IKKod",  "ILSlS", "ILPozE", "IKNaz",  "IKSul",  "IKSyn",  "IInt",   "IIntHl",
        "ILObr",  "ILText", "ILSpot", "IKat",  "IPCKat", "IPCNaz", "IPCATC", "IPCATr", "IPSNaz", "IPSATC",
        "IPSATr", "ISQL",   "ILSQL",  "ILBr",  "IDrz",   "ILDrz",
    };
    return names;
}

TIkona::TIkona()
{
    InitIkonaResources();
    for (const char* name : Names()) {
        QPixmap p(QStringLiteral(":/ikona/%1.png").arg(QLatin1String(name)));
        if (!p.isNull())
            images_.emplace(QString::fromLatin1(name), p);
    }
}

QPixmap TIkona::Image(std::string_view name) const
{
    const auto it = images_.find(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
    return it == images_.end() ? QPixmap() : it->second;
}

bool TIkona::Has(std::string_view name) const
{
    return images_.count(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()))) != 0;
}
