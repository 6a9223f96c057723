// Translation of captions and hints written as text keys, speed-button
// hints, and a check that every key the forms look up exists in both UI text
// tables.

#include <gtest/gtest.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QToolBox>
#include <QToolButton>
#include <QXmlStreamReader>

#include <set>

#include "frame/config/placement_scheme.h"
#include "frame/windows/dialog_base.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

namespace {

const char* const kCzech = R"([Nastaveni]
Box1=Pole č. 1
Box2=Soubor.Otevrit
 Tip=Mezera na začátku klíče
Titulek=Nastavení
Akce=&Otevřít
[Cudl]
findt=Hledat text
[Pruh]
Lek=Léky
)";

const char* const kEnglish = R"([Nastaveni]
Box1=Field no. 1
Box2=File.Open
Titulek=Settings
[Cudl]
findt=Find text
[Pruh]
Lek=Drugs
)";

QString LongKeyCaption()
{
    return QStringLiteral("Nastaveni.") + QString(120, QLatin1Char('k'));
}

} // namespace

TEST(DialogTranslate, CaptionAndHintRules)
{
    EnsureApp();
    ScopedUiTexts texts{CompileTable(kCzech)};
    const struct {
        const char* name;
        QString caption;
        QString shown;
    } captions[] = {
        {"a key", QStringLiteral("Nastaveni.Box1"), QStringLiteral("Pole č. 1")},
        {"leading dot", QStringLiteral(".NET"), QStringLiteral(".NET")},
        {"dot and blank", QStringLiteral("Nastaveni. Box1"), QStringLiteral("Nastaveni. Box1")},
        {"no dot", QStringLiteral("Obyčejný text"), QStringLiteral("Obyčejný text")},
        {"dot at the end", QStringLiteral("Konec."), QStringLiteral("Konec.")},
        {"missing key", QStringLiteral("Nastaveni.Chybi"), QStringLiteral("!! Nastaveni.Chybi")},
        {"key cut to 99 characters", LongKeyCaption(),
         QStringLiteral("!! Nastaveni.") + QString(99, QLatin1Char('k'))},
        {"empty", QString(), QString()},
    };
    for (const auto& c : captions) {
        QLabel label(c.caption);
        TranslateCaptions(&label);
        EXPECT_EQ(label.text(), c.shown) << c.name;
    }
    const struct {
        const char* name;
        QString hint;
        QString shown;
    } hints[] = {
        {"a key", QStringLiteral("Cudl.findt"), QStringLiteral("Hledat text")},
        {"dot and blank is still a key", QStringLiteral("Nastaveni. Tip"),
         QStringLiteral("Mezera na začátku klíče")},
        {"leading dot: empty section", QStringLiteral(".findt"), QStringLiteral("!! .findt")},
        {"no dot", QStringLiteral("Nápověda"), QStringLiteral("Nápověda")},
    };
    for (const auto& h : hints) {
        QWidget w;
        w.setToolTip(h.hint);
        TranslateCaptions(&w);
        EXPECT_EQ(w.toolTip(), h.shown) << h.name;
    }
}

TEST(DialogTranslate, EveryKindOfCaptionInATree)
{
    EnsureApp();
    ScopedUiTexts texts{CompileTable(kCzech)};
    QWidget form;
    form.setWindowTitle(QStringLiteral("Nastaveni.Titulek"));
    auto* group = new QGroupBox(QStringLiteral("Nastaveni.Box1"), &form);
    auto* button = new QPushButton(QStringLiteral("Cudl.findt"), group); // nested two levels deep
    button->setToolTip(QStringLiteral("Pruh.Lek"));
    auto* tabs = new QTabWidget(&form);
    tabs->addTab(new QWidget, QStringLiteral("Pruh.Lek"));
    tabs->addTab(new QWidget, QStringLiteral("Záložka"));
    auto* box = new QToolBox(&form);
    box->addItem(new QWidget, QStringLiteral("Nastaveni.Box1"));
    auto* menu = new QMenu(QStringLiteral("Pruh.Lek"), &form);
    auto* action = new QAction(QStringLiteral("Nastaveni.Akce"), &form);
    auto* plain = new QAction(QStringLiteral(".Otevřít"), &form); // plain text with a dot
    auto* tipped = new QAction(QStringLiteral("Text"), &form);
    tipped->setToolTip(QStringLiteral("Cudl.findt"));

    TranslateCaptions(&form);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Nastavení"));
    EXPECT_EQ(group->title(), QStringLiteral("Pole č. 1"));
    EXPECT_EQ(button->text(), QStringLiteral("Hledat text"));
    EXPECT_EQ(button->toolTip(), QStringLiteral("Léky"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Léky"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Záložka"));
    EXPECT_EQ(box->itemText(0), QStringLiteral("Pole č. 1"));
    EXPECT_EQ(menu->title(), QStringLiteral("Léky"));
    EXPECT_EQ(action->text(), QStringLiteral("&Otevřít"));
    EXPECT_EQ(plain->text(), QStringLiteral(".Otevřít"));
    EXPECT_EQ(plain->toolTip(), QStringLiteral(".Otevřít")) << "the tip derived from the text is not a hint";
    EXPECT_EQ(tipped->toolTip(), QStringLiteral("Hledat text"));
}

TEST(DialogTranslate, ASecondCallTranslatesFromTheKeptKey)
{
    EnsureApp();
    QLabel looksLikeKey(QStringLiteral("Nastaveni.Box2"));
    QLabel normal(QStringLiteral("Nastaveni.Box1"));
    QWidget tipped;
    tipped.setToolTip(QStringLiteral("Cudl.findt"));
    {
        ScopedUiTexts texts{CompileTable(kCzech)};
        TranslateCaptions(&looksLikeKey);
        EXPECT_EQ(looksLikeKey.text(), QStringLiteral("Soubor.Otevrit"));
        TranslateCaptions(&looksLikeKey);
        EXPECT_EQ(looksLikeKey.text(), QStringLiteral("Soubor.Otevrit")) << "not looked up as a key";
        TranslateCaptions(&normal);
        TranslateCaptions(&tipped);
    }
    // Another language: the kept keys give its texts.
    ScopedUiTexts english{CompileTable(kEnglish)};
    for (QObject* o : std::initializer_list<QObject*>{&looksLikeKey, &normal, &tipped})
        TranslateCaptions(o);
    EXPECT_EQ(looksLikeKey.text(), QStringLiteral("File.Open"));
    EXPECT_EQ(normal.text(), QStringLiteral("Field no. 1"));
    EXPECT_EQ(tipped.toolTip(), QStringLiteral("Find text"));
    // A caption the program set anew is taken as it is now.
    normal.setText(QStringLiteral("Cudl.findt"));
    TranslateCaptions(&normal);
    EXPECT_EQ(normal.text(), QStringLiteral("Find text"));
    normal.setText(QStringLiteral("Plain text"));
    TranslateCaptions(&normal);
    EXPECT_EQ(normal.text(), QStringLiteral("Plain text"));
}

TEST(DialogTranslate, SpeedButtonHintsFromHelpKeywords)
{
    EnsureApp();
    ScopedUiTexts texts{CompileTable(kCzech)};
    auto* w = new ProbeWindow(PackKindCode("DNA"), "w");
    auto* keyed = new QToolButton(w);
    keyed->setProperty("helpKeyword", QStringLiteral("Pruh.Lek"));
    auto* literal = new QToolButton(w);
    literal->setProperty("helpKeyword", QStringLiteral("Jen text"));
    auto* without = new QToolButton(w);
    without->setToolTip(QStringLiteral("vlastní"));
    auto* missing = new QToolButton(w);
    missing->setProperty("helpKeyword", QStringLiteral("Pruh.Nic"));
    w->TranslateButtonHints();
    EXPECT_EQ(keyed->toolTip(), QStringLiteral("Léky"));
    EXPECT_EQ(literal->toolTip(), QStringLiteral("Jen text"));
    EXPECT_EQ(without->toolTip(), QStringLiteral("vlastní"));
    EXPECT_EQ(missing->toolTip(), QStringLiteral("!! Pruh.Nic"));
    delete w;
}

namespace {

struct UiKey {
    std::string file;
    QString text;
    QString section;
    QString key;
};

// Every caption, hint and help keyword of a form that would be looked up.
std::vector<UiKey> KeysOfForm(const QString& path)
{
    static const std::set<QString> kCaptionTextClasses = {
        QStringLiteral("QLabel"),    QStringLiteral("QPushButton"),  QStringLiteral("QToolButton"),
        QStringLiteral("QCheckBox"), QStringLiteral("QRadioButton"), QStringLiteral("QCommandLinkButton"),
        QStringLiteral("QAction")};
    static const std::set<QString> kTitleClasses = {QStringLiteral("QGroupBox"), QStringLiteral("QMenu")};
    std::vector<UiKey> keys;
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    QXmlStreamReader xml(&file);
    std::vector<QString> classes; // enclosing <widget>/<action> classes
    QString property;             // the property or attribute being read
    bool hint = false;
    bool keyword = false;
    int depthOfProperty = -1;
    std::vector<QString> elements;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const QString name = xml.name().toString();
            if (name == QLatin1String("widget"))
                classes.push_back(xml.attributes().value(QLatin1String("class")).toString());
            else if (name == QLatin1String("action"))
                classes.push_back(QStringLiteral("QAction"));
            const bool direct = !elements.empty() && (elements.back() == QLatin1String("widget") ||
                                                      elements.back() == QLatin1String("action"));
            if (direct && (name == QLatin1String("property") || name == QLatin1String("attribute"))) {
                const QString n = xml.attributes().value(QLatin1String("name")).toString();
                const QString cls = classes.empty() ? QString() : classes.back();
                property.clear();
                hint = keyword = false;
                if (name == QLatin1String("attribute") &&
                    (n == QLatin1String("title") || n == QLatin1String("label")))
                    property = n;
                else if (n == QLatin1String("windowTitle"))
                    property = n;
                else if (n == QLatin1String("text") && kCaptionTextClasses.count(cls))
                    property = n;
                else if (n == QLatin1String("title") && kTitleClasses.count(cls))
                    property = n;
                else if (n == QLatin1String("toolTip"))
                    property = n, hint = true;
                else if (n == QLatin1String("helpKeyword"))
                    property = n, keyword = true;
                depthOfProperty = property.isEmpty() ? -1 : static_cast<int>(elements.size());
            }
            if (name == QLatin1String("string") && depthOfProperty >= 0 &&
                static_cast<int>(elements.size()) == depthOfProperty + 1) {
                const QString text = xml.readElementText();
                QString section;
                QString key;
                const bool looked = (hint || keyword) ? HintKeyParts(text, section, key)
                                                      : CaptionKeyParts(text, section, key);
                if (looked)
                    keys.push_back({QFileInfo(path).fileName().toStdString(), text, section, key});
                continue; // readElementText consumed the end element
            }
            elements.push_back(name);
        } else if (xml.isEndElement()) {
            const QString name = xml.name().toString();
            if (!elements.empty())
                elements.pop_back();
            if (name == QLatin1String("widget") || name == QLatin1String("action"))
                classes.pop_back();
            if (static_cast<int>(elements.size()) == depthOfProperty)
                depthOfProperty = -1;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return keys;
}

} // namespace

TEST(DialogForms, EveryLookedUpKeyExistsInBothTables)
{
    EnsureApp();
    // Keys a form names on purpose without a text (the demonstration of the
    // missing-entry marker).
    const std::set<std::pair<std::string, QString>> deliberatelyMissing = {
        {"demo_dialog.ui", QStringLiteral("Ukazka.Chybi")}};
    const TextTablePtr czech = ProgramTable("ces");
    const TextTablePtr english = ProgramTable("ang");
    const QDir forms(QStringLiteral(QEVW_SOURCE_DIR "/forms"));
    const QStringList files = forms.entryList({QStringLiteral("*.ui")}, QDir::Files);
    ASSERT_FALSE(files.isEmpty());
    size_t checked = 0;
    bool demoFound = false;
    for (const QString& name : files) {
        for (const UiKey& k : KeysOfForm(forms.filePath(name))) {
            std::string value;
            const std::string section = QStringToKam(k.section);
            const std::string key = QStringToKam(k.key);
            const bool inCzech = GetTextEntry(czech, section, key, value) != 0;
            const bool inEnglish = GetTextEntry(english, section, key, value) != 0;
            if (deliberatelyMissing.count({k.file, k.text})) {
                EXPECT_FALSE(inCzech || inEnglish) << k.text.toStdString() << " is meant to be missing";
                demoFound = true;
                continue;
            }
            EXPECT_TRUE(inCzech) << k.file << ": " << k.text.toStdString() << " missing in qevw.ces";
            EXPECT_TRUE(inEnglish) << k.file << ": " << k.text.toStdString() << " missing in qevw.ang";
            ++checked;
        }
    }
    EXPECT_TRUE(demoFound);
    EXPECT_GE(checked, 10u) << "the demonstration dialog alone has ten keys";
}
