#include "core/welcome/Credits.h"

#include "core/session/ProgramInfo.h"

namespace Credits {

namespace {

const QString kTeam = QStringLiteral("The Kavro Team");

// The separator followed by its blank line.
void addSeparator(QStringList& out) {
    out << separatorLine() << QString();
}

// A block of lines followed by one blank line.
void addBlock(QStringList& out, std::initializer_list<const char*> block) {
    for (const char* line : block)
        out << QString::fromUtf8(line);
    out << QString();
}

void addBlankLines(QStringList& out, int count) {
    for (int i = 0; i < count; ++i)
        out << QString();
}

} // namespace

QString separatorLine() {
    return QString(50, QLatin1Char('*'));
}

QStringList lines() {
    QStringList out;

    addSeparator(out);
    addBlock(out, {"Thanks for using this program. If you want",
                   "to not only download cars, but also easily",
                   "manage them, please download Motorquill", "from NFS Depotline (website)."});

    addSeparator(out);
    out << QStringLiteral("Email: ") + ProgramInfo::kTeamEmail
        << QStringLiteral("Website: ") + ProgramInfo::kMakerWebPage << QString();

    addSeparator(out);
    out << QStringLiteral("Programming") << kTeam << QString();
    // The beta testers go by their handles.
    addBlock(out, {"Beta Testing", "Gearbox Gremlin", "Redline Rabbit", "Pit Lane Pixie",
                   "Captain Oversteer"});

    addSeparator(out);
    // Disclaimer of warranty and liability.
    addBlock(out, {"NO WARRANTY OF ANY KIND IS GIVEN WITH THIS PROGRAM.",
                   "YOU USE IT AT YOUR OWN RISK. ITS MAKERS ARE NOT",
                   "LIABLE FOR ANY DAMAGE OR LOSS OF DATA THAT ITS",
                   "USE, OR THE INABILITY TO USE IT, MAY CAUSE."});
    // Terms of distribution.
    addBlock(out, {"THIS PROGRAM IS FREE. YOU MAY COPY IT AND GIVE IT",
                   "AWAY, AS LONG AS ALL OF ITS FILES GO WITH IT",
                   "UNCHANGED AND NOTHING IS CHARGED FOR IT. IT MAY",
                   "NOT BE SOLD, RENTED OR BUNDLED WITH ANYTHING",
                   "THAT IS SOLD WITHOUT THE WRITTEN CONSENT OF", "THE KAVRO TEAM."});
    // The cars belong to their designers and brand owners.
    addBlock(out, {"EVERY CAR OFFERED FOR DOWNLOAD IS THE PROPERTY",
                   "OF ITS DESIGNER. CAR MAKES, MODELS AND LOGOS ARE",
                   "TRADEMARKS OF THEIR RESPECTIVE OWNERS."});
    addBlock(out, {"THIS PRORGAM USES WINZIP 8.0 FOR THE EXTRACTION", "OF ZIP-COMPRESSED FILES."});
    addBlock(out, {"THIS PRORGAM IS NOT MADE, LICENSED OR ENDORSED",
                   "BY THE ELECTRONIC ARTS COMPANY (MAKERS OF NFSHS)."});
    addBlock(out, {"WINZIP IS A REGISTERED TRADEMARK OF ITS MAKER."});
    addBlock(out, {"NEED FOR SPEED HIGH STAKES IS", "A TRADEMARK OF ELECTRONIC ARTS INC."});

    out << separatorLine();
    addBlankLines(out, 3);

    out << QStringLiteral("No living life was harmed during")
        << QStringLiteral("the making of this product.");
    addBlankLines(out, 5);

    out << QStringLiteral("[Copyright (C) The Kavro Team. All rights reserved.]");
    addBlankLines(out, 2);
    return out;
}

QString text() {
    return lines().join(QStringLiteral("\r\n"));
}

} // namespace Credits
