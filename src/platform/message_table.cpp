#include <algorithm>
#include <iterator>
#include <string>

#include "platform/languages.h"

namespace tavrin {

namespace {

struct BuiltInMessage {
  int number;
  const char* text;
};

// The German default texts of the messages this program shows, ordered by number.
constexpr BuiltInMessage kMessages[] = {
    {176, "Beenden %1"},
    {303, "Importiere %1"},
    {354, "Durchsuchen"},
    {399, "Alle"},
    {531, "&Abbrechen"},
    {536, "&Ok"},
    {765, "Daten &importieren"},
    {770, "Import"},
    {1816, "Messung mit Kontrolllösung %1"},
    {1833, "Gekennzeichnete Messung (z.B. Kontrollösung, andere Person etc.): %1"},
    {5037,
     "Die Import-Daten enthielten auch Daten älteren Datums. Dies deutet möglicherweise darauf "
     "hin, dass Datum/Uhrzeit auf dem Gerät verstellt sind!%1%1Sie finden deshalb "
     "möglicherweise die importierten Daten nicht im erwarteten Zeitraum. Der älteste "
     "Datensatz aus diesem Import ist vom %2!%1%1Bitte kontrollieren Sie unbedingt die "
     "Geräteeinstellungen für Datum/Uhrzeit und korrigieren Sie ggf. die zu importierenden "
     "Daten."},
    {5038,
     "Die Import-Daten enthielten auch Daten aus der Zukunft. Dies deutet möglicherweise darauf "
     "hin, dass Datum/Uhrzeit auf dem Gerät oder Ihrem Computer verstellt sind!%1%1Sie finden "
     "deshalb möglicherweise die importierten Daten nicht im erwarteten Zeitraum. Der neueste "
     "Datensatz aus diesem Import ist vom %2!%1%1Bitte kontrollieren Sie unbedingt die "
     "Geräteeinstellungen für Datum/Uhrzeit und korrigieren Sie ggf. die zu importierenden "
     "Daten."},
    {5051, "Folgender Fehler ist bei der Programmaktion '%1' aufgetreten: %2"},
    {5082, "Nummerisch|Freitext|Auswahlliste|Ja/Nein"},
    {5297, "Alle Daten synchronisieren"},
    {5390, "Upload"},
    {5466, "Bitte wählen Sie die Übergabedatei (von %1) aus..."},
    {5577, "Die Datei (%1) konnte nicht gefunden werden!"},
    {5579,
     "Der Ordner der Orvolux Software konnte nicht ermittelt werden oder existiert nicht mehr. "
     "Programmausführung wird abgebrochen."},
    {5580,
     "Die Installation der Orvolux-Software scheint beschädigt zu sein, die Datei der "
     "Patienten-Liste konnte nicht gefunden werden. Programmausführung wird abgebrochen."},
    {5583, "Seriennummer-Eingabe"},
    {5584, "Ja, künstliche Seriennr. erzeugen"},
    {5585, "Seriennr. manuell eintragen"},
    {5586,
     "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. Soll eine "
     "künstliche Seriennummer für den derzeit geöffneten Patienten erzeugt werden?"},
    {5587,
     "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. Bitte "
     "öffnen Sie zunächst in Orvolux den Patientendatensatz, dem diese Daten zugeordnet werden "
     "sollen oder geben Sie die Seriennummer hier ein."},
    {5588, "Patientendatensatz in OX öffnen"},
    {5589,
     "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. Wenn Ihnen "
     "eine Seriennummer vorliegt, geben Sie diese bitte für die korrekte Zuordnung in der "
     "Orvolux-Software ein."},
    {5590,
     "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. %1%1Sollen "
     "die gerade importierten Daten dem folgenden Patienten zugewiesen werden?"},
    {5591,
     "Beim Import von dieser Datenquelle konnte keine Seriennummer ermittelt werden. Bitte "
     "geben Sie die Seriennummer ein."},
    {5700, "Die Datei %1 enthält keine Daten, die importiert werden können."},
    {5710,
     "Der Pfad %1 enthält ein Leerzeichen und kann dem Importprogramm von Orvolux nicht "
     "übergeben werden. Bitte wählen Sie einen temporären Ordner ohne Leerzeichen."},
    {5711,
     "Der Pfad %1 enthält ein Anführungszeichen und kann dem Importprogramm von Orvolux nicht "
     "übergeben werden."},
    {5720,
     "Die Einstellungsdatei %1 kann nicht geschrieben werden. Das Programm arbeitet mit den "
     "gelesenen Einstellungen weiter."},
    {5740, "%1 ist ein Ordner, keine Exportdatei."},
    {5741, "%1 ist eine benannte Pipe (FIFO), keine Exportdatei."},
    {5742, "%1 ist ein Gerät, keine Exportdatei."},
    {5743, "%1 ist keine gewöhnliche Datei und kann nicht als Exportdatei gelesen werden."},
    {5744,
     "Die Datei %1 wurde geändert oder ersetzt, während sie gelesen wurde. Es wurde nichts "
     "übergeben. Bitte starten Sie den Import erneut."},
    {5745,
     "Die Datumsangaben der Datei %1 stehen nicht alle in derselben Reihenfolge von Tag und "
     "Monat: %2 Zeilen wurden mit dem Tag zuerst gelesen, %3 mit dem Monat zuerst. Einige "
     "Werte können deshalb im falschen Monat liegen.%4%4Soll der Import trotzdem fortgesetzt "
     "werden?"},
    {5746,
     "Die Datei %1 enthält in Zeile %2 eine zweite Kopfzeile mit anderen Einheiten (%3 statt "
     "%4). Sie ist aus zwei Exporten zusammengesetzt, deren Werte nicht gleich gelesen werden "
     "können. Es wurde nichts übergeben. Bitte importieren Sie jeden Export für sich."},
    {5760, "Seriennummer"},
    {5770,
     "So beheben Sie das: Installieren Sie das Plug-in in den Ordner Plugins der "
     "Orvolux-Installation, oder tragen Sie den Ordner der Orvolux-Software im Abschnitt [Config] "
     "der Datei %1 als OXSWBaseFolder ein."},
    {5771,
     "Bitte wählen Sie zuerst die Exportdatei der Tavrin App aus (Schaltfläche \"%1\") oder geben "
     "Sie ihren Pfad ein."},
    {5772,
     "Die Datei %1 ist keine Exportdatei der Tavrin App: Ihre erste Zeile hat nicht die Spalten "
     "einer Tavrin-Exportdatei. Bitte wählen Sie die CSV-Datei, die die Tavrin App exportiert "
     "hat."},
    {5773,
     "Die Datei %1 kann nicht gelesen werden. Möglicherweise ist sie in einem anderen Programm "
     "(zum Beispiel Excel) geöffnet: Bitte schließen Sie sie dort und starten Sie den Import "
     "erneut."},
    {5774, "Import abgebrochen, es wurde nichts übergeben."},
    {5775,
     "Bitte geben Sie eine Seriennummer ein. Ohne Seriennummer würden die Messwerte verschiedener "
     "Patienten unter derselben Nummer abgelegt."},
    {5776,
     "Bitte öffnen Sie in Orvolux den Patientendatensatz, dem die Daten zugeordnet werden sollen, "
     "und starten Sie den Import danach erneut. Das Plug-in wird jetzt beendet."},
    {5780,
     "Beim Import der Datei %1 wurden %2 Werte nicht übernommen und %3 Zeilen ohne lesbares "
     "Datum übersprungen. Die Liste mit Zeile, Spalte und Wert steht im Importbericht:%4%5"},
    {5781,
     "Beim Import der Datei %1 wurden %2 Werte nicht übernommen und %3 Zeilen ohne lesbares "
     "Datum übersprungen. Die Liste steht in der Protokolldatei:%4%5"},
    {5800, "Importbericht"},
    {5801, "Exportdatei"},
    {5802, "Einheit"},
    {5803, "Datumsreihenfolge"},
    {5804, "Tag vor Monat"},
    {5805, "Monat vor Tag"},
    {5806, "gemischt: %1 Zeilen mit dem Tag zuerst, %2 mit dem Monat zuerst"},
    {5807, "Zeitraum"},
    {5808, "%1 bis %2"},
    {5809, "Gelesene Zeilen"},
    {5810, "Geschriebene Datensätze"},
    {5811, "CGM-Messwerte"},
    {5812, "Werte"},
    {5813, "Blutzucker"},
    {5814, "Kohlenhydrate"},
    {5815, "Insulin"},
    {5816, "Ereignisse"},
    {5817, "Notizen"},
    {5818, "Körpergewicht"},
    {5819, "Sonstige"},
    {5820, "Blutzucker im Zeitverlauf"},
    {5821, "Blutzucker nach Uhrzeit (alle Tage übereinander)"},
    {5822, "Insulin je Tag (Einheiten)"},
    {5823, "Kohlenhydrate je Tag"},
    {5824, "Übersprungene Zeilen und abgelehnte Werte"},
    {5825, "Zeile"},
    {5826, "Grund"},
    {5827, "Datum oder Uhrzeit nicht lesbar, Zeile übersprungen"},
    {5828, "%1 Wert(e) nicht als Zahl darstellbar, ausgelassen"},
    {5829,
     "gemischte Reihenfolge von Tag und Monat: diese Zeile wurde als %1 gelesen, die meisten "
     "anderen umgekehrt"},
    {5830, "Keine"},
    {5831, "... und %1 weitere Zeilen"},
    {5832, "Angezeigte Warnungen zum Datenalter"},
    {5833, "Zielbereich %1"},
    {5834, "Jeder Punkt ist ein Messwert; HIGH (rot) und LO (orange) sind hervorgehoben."},
    {5835, "Mehr als %1 Messwerte: Linien von niedrigstem bis höchstem Wert, dazu der Mittelwert."},
    {5836, "Erstellt"},
    {5837, "Keine Blutzuckerwerte"},
    {5838, "Seriennummer"},
    {5839, "Anzahlen"},
    {5850, "Abgelehnte Werte"},
    {5851, "Blutzuckerwerte als Text übernommen"},
    {5852,
     "Insulindosis aus zwei Teilen (Spalten %1 und %2) nicht übernommen, weil ein Teil keine "
     "lesbare Zahl ist: die ganze Dosis fehlt (%3 Wert(e))"},
    {5853, "Blutzucker ist keine Zahl: unverändert als Text übernommen"},
    {5854, "Spalte"},
    {5855, "Wert"},
    {5856, "%1, wie die Datei zeigt: %2 Datumsangaben lassen sich nur so lesen"},
    {5860, "Blutzucker auf einen Blick"},
    {5861, "Auswertungszeitraum"},
    {5862, "ganzer Export: %1 bis %2"},
    {5863, "die letzten %1 Tage: %2 bis %3"},
    {5864, "Messwerte"},
    {5865, "Tage mit Messwerten"},
    {5866, "Messwerte je Tag"},
    {5867, "Mittelwert"},
    {5868, "Standardabweichung (SD)"},
    {5869, "Variationskoeffizient VK = SD / Mittelwert (Ziel ≤ 36 %)"},
    {5870, "GMI (Glukose-Management-Indikator)"},
    {5871, "nicht angegeben: %1 Tage mit Messwerten, der GMI braucht mindestens %2"},
    {5872, "Anteil der Messwerte in den Zielbereichen"},
    {5873, "Anteil der Zeit in den Zielbereichen (CGM)"},
    {5874, "sehr niedrig"},
    {5875, "niedrig"},
    {5876, "im Zielbereich"},
    {5877, "hoch"},
    {5878, "sehr hoch"},
    {5879, "Ziel"},
    {5880, "(mit sehr niedrig)"},
    {5881, "(mit sehr hoch)"},
    {5882, "Tagesprofil (ambulantes Glukoseprofil)"},
    {5883,
     "Median (Linie), 25–75 % (dunkel) und 5–95 % (hell) der Messwerte jeder Stunde, mit der "
     "Stunde davor und danach; Stunden mit weniger als %1 Messwerten bleiben leer."},
    {5884, "Insulin und Kohlenhydrate je Tag"},
    {5885, "Insulin im Mittel (Einheiten; %1 Tage mit Einträgen)"},
    {5886, "davon Bolus"},
    {5887, "davon Basal"},
    {5888, "Kohlenhydrate im Mittel (%1 Tage mit Einträgen)"},
    {5889, "HIGH zählt als %1 und sehr hoch, LO als %2 und sehr niedrig."},
    {5890,
     "Messwerte eines Messgeräts oder der App sind Einzelmessungen, kein Sensorverlauf: die "
     "Anteile sind die der Messwerte, nicht der Zeit."},
    {5891, "Zu wenige Messwerte für ein Tagesprofil."},
};

constexpr bool OrderedByNumber() {
  for (std::size_t i = 1; i < std::size(kMessages); ++i) {
    if (kMessages[i - 1].number >= kMessages[i].number) return false;
  }
  return true;
}
static_assert(OrderedByNumber(), "the table is searched by bisection");

}  // namespace

std::string Languages::BuiltInText(int number) {
  const auto it = std::lower_bound(
      std::begin(kMessages), std::end(kMessages), number,
      [](const BuiltInMessage& message, int wanted) { return message.number < wanted; });
  if (it == std::end(kMessages) || it->number != number) return {};
  return it->text;
}

}  // namespace tavrin
