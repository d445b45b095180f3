#include "platform/posix/calendar_names.h"

namespace tavrin::calendar_names {

// Month names (January first) and day names (Sunday first) as Windows gives them for each
// language's Gregorian calendar.
const CalendarNames kGerman = {
    {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}};
const CalendarNames kAustrian = {
    {"Jänner", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {"Jän", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"},
    {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"}};
const CalendarNames kEnglish = {
    {"January", "February", "March", "April", "May", "June", "July", "August", "September",
     "October", "November", "December"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"},
    {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"}};
const CalendarNames kFrench = {
    {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre",
     "octobre", "novembre", "décembre"},
    {"janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.",
     "déc."},
    {"dimanche", "lundi", "mardi", "mercredi", "jeudi", "vendredi", "samedi"},
    {"dim.", "lun.", "mar.", "mer.", "jeu.", "ven.", "sam."}};
const CalendarNames kItalian = {
    {"gennaio", "febbraio", "marzo", "aprile", "maggio", "giugno", "luglio", "agosto", "settembre",
     "ottobre", "novembre", "dicembre"},
    {"gen", "feb", "mar", "apr", "mag", "giu", "lug", "ago", "set", "ott", "nov", "dic"},
    {"domenica", "lunedì", "martedì", "mercoledì", "giovedì", "venerdì", "sabato"},
    {"dom", "lun", "mar", "mer", "gio", "ven", "sab"}};
const CalendarNames kSpanish = {
    {"enero", "febrero", "marzo", "abril", "mayo", "junio", "julio", "agosto", "septiembre",
     "octubre", "noviembre", "diciembre"},
    {"ene", "feb", "mar", "abr", "may", "jun", "jul", "ago", "sep", "oct", "nov", "dic"},
    {"domingo", "lunes", "martes", "miércoles", "jueves", "viernes", "sábado"},
    {"dom", "lun", "mar", "mié", "jue", "vie", "sáb"}};
const CalendarNames kDutch = {
    {"januari", "februari", "maart", "april", "mei", "juni", "juli", "augustus", "september",
     "oktober", "november", "december"},
    {"jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"zondag", "maandag", "dinsdag", "woensdag", "donderdag", "vrijdag", "zaterdag"},
    {"zo", "ma", "di", "wo", "do", "vr", "za"}};
const CalendarNames kPortuguese = {
    {"janeiro", "fevereiro", "março", "abril", "maio", "junho", "julho", "agosto", "setembro",
     "outubro", "novembro", "dezembro"},
    {"jan", "fev", "mar", "abr", "mai", "jun", "jul", "ago", "set", "out", "nov", "dez"},
    {"domingo", "segunda-feira", "terça-feira", "quarta-feira", "quinta-feira", "sexta-feira",
     "sábado"},
    {"dom", "seg", "ter", "qua", "qui", "sex", "sáb"}};
const CalendarNames kDanish = {
    {"januar", "februar", "marts", "april", "maj", "juni", "juli", "august", "september", "oktober",
     "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"søndag", "mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag"},
    {"sø", "ma", "ti", "on", "to", "fr", "lø"}};
const CalendarNames kSwedish = {
    {"januari", "februari", "mars", "april", "maj", "juni", "juli", "augusti", "september",
     "oktober", "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"söndag", "måndag", "tisdag", "onsdag", "torsdag", "fredag", "lördag"},
    {"sö", "må", "ti", "on", "to", "fr", "lö"}};
const CalendarNames kNorwegian = {
    {"januar", "februar", "mars", "april", "mai", "juni", "juli", "august", "september", "oktober",
     "november", "desember"},
    {"jan", "feb", "mar", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "des"},
    {"søndag", "mandag", "tirsdag", "onsdag", "torsdag", "fredag", "lørdag"},
    {"sø", "ma", "ti", "on", "to", "fr", "lø"}};
const CalendarNames kFinnish = {
    {"tammikuu", "helmikuu", "maaliskuu", "huhtikuu", "toukokuu", "kesäkuu", "heinäkuu", "elokuu",
     "syyskuu", "lokakuu", "marraskuu", "joulukuu"},
    {"tammi", "helmi", "maalis", "huhti", "touko", "kesä", "heinä", "elo", "syys", "loka", "marras",
     "joulu"},
    {"sunnuntai", "maanantai", "tiistai", "keskiviikko", "torstai", "perjantai", "lauantai"},
    {"su", "ma", "ti", "ke", "to", "pe", "la"}};
const CalendarNames kPolish = {
    {"styczeń", "luty", "marzec", "kwiecień", "maj", "czerwiec", "lipiec", "sierpień", "wrzesień",
     "październik", "listopad", "grudzień"},
    {"sty", "lut", "mar", "kwi", "maj", "cze", "lip", "sie", "wrz", "paź", "lis", "gru"},
    {"niedziela", "poniedziałek", "wtorek", "środa", "czwartek", "piątek", "sobota"},
    {"N", "Pn", "Wt", "Śr", "Cz", "Pt", "So"}};
const CalendarNames kCzech = {
    {"leden", "únor", "březen", "duben", "květen", "červen", "červenec", "srpen", "září", "říjen",
     "listopad", "prosinec"},
    {"led", "úno", "bře", "dub", "kvě", "čvn", "čvc", "srp", "zář", "říj", "lis", "pro"},
    {"neděle", "pondělí", "úterý", "středa", "čtvrtek", "pátek", "sobota"},
    {"ne", "po", "út", "st", "čt", "pá", "so"}};
const CalendarNames kRussian = {
    {"Январь", "Февраль", "Март", "Апрель", "Май", "Июнь", "Июль", "Август", "Сентябрь", "Октябрь",
     "Ноябрь", "Декабрь"},
    {"янв", "фев", "мар", "апр", "май", "июн", "июл", "авг", "сен", "окт", "ноя", "дек"},
    {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"},
    {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}};
const CalendarNames kTurkish = {
    {"Ocak", "Şubat", "Mart", "Nisan", "Mayıs", "Haziran", "Temmuz", "Ağustos", "Eylül", "Ekim",
     "Kasım", "Aralık"},
    {"Oca", "Şub", "Mar", "Nis", "May", "Haz", "Tem", "Ağu", "Eyl", "Eki", "Kas", "Ara"},
    {"Pazar", "Pazartesi", "Salı", "Çarşamba", "Perşembe", "Cuma", "Cumartesi"},
    {"Paz", "Pzt", "Sal", "Çar", "Per", "Cum", "Cmt"}};
const CalendarNames kUkrainian = {
    {"Січень", "Лютий", "Березень", "Квітень", "Травень", "Червень", "Липень", "Серпень",
     "Вересень", "Жовтень", "Листопад", "Грудень"},
    {"Січ", "Лют", "Бер", "Кві", "Тра", "Чер", "Лип", "Сер", "Вер", "Жов", "Лис", "Гру"},
    {"неділя", "понеділок", "вівторок", "середа", "четвер", "п'ятниця", "субота"},
    {"Нд", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"}};

const CalendarNames kBelarusian = {
    {"студзень", "люты", "сакавік", "красавік", "май", "чэрвень", "ліпень", "жнівень", "верасень",
     "кастрычнік", "лістапад", "снежань"},
    {"сту", "лют", "сак", "кра", "май", "чэр", "ліп", "жні", "вер", "кас", "ліс", "сне"},
    {"нядзеля", "панядзелак", "аўторак", "серада", "чацвер", "пятніца", "субота"},
    {"нд", "пн", "аў", "ср", "чц", "пт", "сб"}};
const CalendarNames kBosnianLatin = {
    {"januar", "februar", "mart", "april", "maj", "juni", "juli", "august", "septembar", "oktobar",
     "novembar", "decembar"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "aug", "sep", "okt", "nov", "dec"},
    {"nedjelja", "ponedjeljak", "utorak", "srijeda", "četvrtak", "petak", "subota"},
    {"ned", "pon", "uto", "sri", "čet", "pet", "sub"}};
const CalendarNames kBosnianCyrillic = {
    {"јануар", "фебруар", "март", "април", "мај", "јун", "јул", "август", "септембар", "октобар",
     "новембар", "децембар"},
    {"јан", "феб", "мар", "апр", "мај", "јун", "јул", "авг", "сеп", "окт", "нов", "дец"},
    {"недјеља", "понедјељак", "уторак", "сриједа", "четвртак", "петак", "субота"},
    {"нед", "пон", "уто", "сри", "чет", "пет", "суб"}};
const CalendarNames kCatalan = {
    {"gener", "febrer", "març", "abril", "maig", "juny", "juliol", "agost", "setembre", "octubre",
     "novembre", "desembre"},
    {"gen.", "febr.", "març", "abr.", "maig", "juny", "jul.", "ag.", "set.", "oct.", "nov.",
     "des."},
    {"diumenge", "dilluns", "dimarts", "dimecres", "dijous", "divendres", "dissabte"},
    {"dg.", "dl.", "dt.", "dc.", "dj.", "dv.", "ds."}};
const CalendarNames kCroatian = {
    {"siječanj", "veljača", "ožujak", "travanj", "svibanj", "lipanj", "srpanj", "kolovoz", "rujan",
     "listopad", "studeni", "prosinac"},
    {"sij", "vlj", "ožu", "tra", "svi", "lip", "srp", "kol", "ruj", "lis", "stu", "pro"},
    {"nedjelja", "ponedjeljak", "utorak", "srijeda", "četvrtak", "petak", "subota"},
    {"ned", "pon", "uto", "sri", "čet", "pet", "sub"}};
const CalendarNames kFaroese = {
    {"januar", "februar", "mars", "apríl", "mai", "juni", "juli", "august", "september", "oktober",
     "november", "desember"},
    {"jan", "feb", "mar", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "des"},
    {"sunnudagur", "mánadagur", "týsdagur", "mikudagur", "hósdagur", "fríggjadagur", "leygardagur"},
    {"sun", "mán", "týs", "mik", "hós", "frí", "ley"}};
const CalendarNames kFrisian = {
    {"jannewaris", "febrewaris", "maart", "april", "maaie", "juny", "july", "augustus", "septimber",
     "oktober", "novimber", "desimber"},
    {"jan", "feb", "mrt", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "des"},
    {"snein", "moandei", "tiisdei", "woansdei", "tongersdei", "freed", "sneon"},
    {"si", "mo", "ti", "wo", "to", "fr", "so"}};
const CalendarNames kGreek = {
    {"Ιανουάριος", "Φεβρουάριος", "Μάρτιος", "Απρίλιος", "Μάιος", "Ιούνιος", "Ιούλιος", "Αύγουστος",
     "Σεπτέμβριος", "Οκτώβριος", "Νοέμβριος", "Δεκέμβριος"},
    {"Ιαν", "Φεβ", "Μαρ", "Απρ", "Μαϊ", "Ιουν", "Ιουλ", "Αυγ", "Σεπ", "Οκτ", "Νοε", "Δεκ"},
    {"Κυριακή", "Δευτέρα", "Τρίτη", "Τετάρτη", "Πέμπτη", "Παρασκευή", "Σάββατο"},
    {"Κυρ", "Δευ", "Τρι", "Τετ", "Πεμ", "Παρ", "Σαβ"}};
const CalendarNames kIrish = {
    {"Eanáir", "Feabhra", "Márta", "Aibreán", "Bealtaine", "Meitheamh", "Iúil", "Lúnasa",
     "Meán Fómhair", "Deireadh Fómhair", "Samhain", "Nollaig"},
    {"Ean", "Feabh", "Márta", "Aib", "Beal", "Meith", "Iúil", "Lún", "MFómh", "DFómh", "Samh",
     "Noll"},
    {"Dé Domhnaigh", "Dé Luain", "Dé Máirt", "Dé Céadaoin", "Déardaoin", "Dé hAoine",
     "Dé Sathairn"},
    {"Domh", "Luan", "Máirt", "Céad", "Déar", "Aoine", "Sath"}};
const CalendarNames kLuxembourgish = {
    {"Januar", "Februar", "Mäerz", "Abrëll", "Mee", "Juni", "Juli", "August", "September",
     "Oktober", "November", "Dezember"},
    {"Jan", "Feb", "Mäe", "Abr", "Mee", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"},
    {"Sonndeg", "Méindeg", "Dënschdeg", "Mëttwoch", "Donneschdeg", "Freideg", "Samschdeg"},
    {"Son", "Méi", "Dën", "Mët", "Don", "Fre", "Sam"}};
const CalendarNames kMacedonian = {
    {"јануари", "февруари", "март", "април", "мај", "јуни", "јули", "август", "септември",
     "октомври", "ноември", "декември"},
    {"јан", "фев", "мар", "апр", "мај", "јун", "јул", "авг", "сеп", "окт", "ное", "дек"},
    {"недела", "понеделник", "вторник", "среда", "четврток", "петок", "сабота"},
    {"нед", "пон", "втр", "срд", "чет", "пет", "саб"}};
const CalendarNames kMaltese = {
    {"Jannar", "Frar", "Marzu", "April", "Mejju", "Ġunju", "Lulju", "Awwissu", "Settembru",
     "Ottubru", "Novembru", "Diċembru"},
    {"Jan", "Fra", "Mar", "Apr", "Mej", "Ġun", "Lul", "Aww", "Set", "Ott", "Nov", "Diċ"},
    {"Il-Ħadd", "It-Tnejn", "It-Tlieta", "L-Erbgħa", "Il-Ħamis", "Il-Ġimgħa", "Is-Sibt"},
    {"Ħad", "Tne", "Tli", "Erb", "Ħam", "Ġim", "Sib"}};
const CalendarNames kNynorsk = {
    {"januar", "februar", "mars", "april", "mai", "juni", "juli", "august", "september", "oktober",
     "november", "desember"},
    {"jan", "feb", "mar", "apr", "mai", "jun", "jul", "aug", "sep", "okt", "nov", "des"},
    {"søndag", "måndag", "tysdag", "onsdag", "torsdag", "fredag", "laurdag"},
    {"sø", "må", "ty", "on", "to", "fr", "la"}};
const CalendarNames kNorthernSami = {
    {"ođđajagemánnu", "guovvamánnu", "njukčamánnu", "cuoŋománnu", "miessemánnu", "geassemánnu",
     "suoidnemánnu", "borgemánnu", "čakčamánnu", "golggotmánnu", "skábmamánnu", "juovlamánnu"},
    {"ođđj", "guov", "njuk", "cuo", "mies", "geas", "suoi", "borg", "čakč", "golg", "skáb", "juov"},
    {"sotnabeaivi", "vuossárga", "maŋŋebárga", "gaskavahkku", "duorastat", "bearjadat",
     "lávvardat"},
    {"sotn", "vuos", "maŋ", "gask", "duor", "bear", "láv"}};
const CalendarNames kLuleSami = {{"ådåjakmánno", "guovvamánno", "sjnjuktjamánno", "vuoratjismánno",
                                  "moarmesmánno", "biehtsemánno", "sjnjilltjamánno", "bårggemánno",
                                  "ragátmánno", "gålgådismánno", "basádismánno", "javllamánno"},
                                 {"ådåj", "guov", "snju", "vuor", "moar", "bieh", "snji", "bårg",
                                  "ragá", "gålg", "basá", "javl"},
                                 {"sådnåbiejvve", "mánnodahka", "dijstahka", "gasskavahkko",
                                  "duorastahka", "bierjjedahka", "lávvodahka"},
                                 {"såd", "mán", "dis", "gas", "duor", "bier", "láv"}};
const CalendarNames kSouthernSami = {
    {"tsïengele", "goevte", "njoktje", "voerhtje", "suehpede", "ruffie", "snjaltje", "mïetske",
     "skïerede", "golke", "rahka", "goeve"},
    {"tsïen", "goevt", "njok", "voer", "sueh", "ruff", "snja", "mïet", "skïer", "golk", "rahk",
     "goev"},
    {"aejlege", "måanta", "dæjsta", "gaskevåhkoe", "duarsta", "bearjadahke", "laavvardahke"},
    {"aej", "måa", "dæj", "gask", "duar", "bearj", "laav"}};
const CalendarNames kSkoltSami = {
    {"ođđee´jjmään", "tä´lvvmään", "pâ´zzlâšttam-mään", "njuhččmään", "vue´ssmään", "ǩieʹssmään",
     "suei´nnmään", "på´rǧǧmään", "čõhččmään", "kålggmään", "skamm´mään", "rosttovmään"},
    {"ođjm", "tä´lvv", "pâzl", "njuh", "vue", "ǩie", "suei", "på´r", "čõh", "kålg", "ska", "rost"},
    {"pâ´sspei´vv", "vuõssargg", "mââibargg", "seärad", "nelljdpei´vv", "piâtnâc", "sue´vet"},
    {"pâ", "vu", "mâ", "se", "ne", "pi", "su"}};
const CalendarNames kInariSami = {
    {"uđđâivemáánu", "kuovâmáánu", "njuhčâmáánu", "cuáŋuimáánu", "vyesimáánu", "kesimáánu",
     "syeinimáánu", "porgemáánu", "čohčâmáánu", "roovvâdmáánu", "skammâmáánu", "juovlâmáánu"},
    {"uđiv", "kuov", "njuh", "cuáŋ", "vyes", "kesi", "syei", "porg", "čohč", "roov", "skam",
     "juov"},
    {"pasepeeivi", "vuossaargâ", "majebaargâ", "koskoho", "tuorâstuv", "vástuppeeivi", "lávárduv"},
    {"pas", "vuo", "maj", "kos", "tuo", "vás", "láv"}};
const CalendarNames kSlovak = {
    {"január", "február", "marec", "apríl", "máj", "jún", "júl", "august", "september", "október",
     "november", "december"},
    {"jan", "feb", "mar", "apr", "máj", "jún", "júl", "aug", "sep", "okt", "nov", "dec"},
    {"nedeľa", "pondelok", "utorok", "streda", "štvrtok", "piatok", "sobota"},
    {"ne", "po", "ut", "st", "št", "pi", "so"}};
const CalendarNames kSlovenian = {
    {"januar", "februar", "marec", "april", "maj", "junij", "julij", "avgust", "september",
     "oktober", "november", "december"},
    {"jan", "feb", "mar", "apr", "maj", "jun", "jul", "avg", "sep", "okt", "nov", "dec"},
    {"nedelja", "ponedeljek", "torek", "sreda", "četrtek", "petek", "sobota"},
    {"ned", "pon", "tor", "sre", "čet", "pet", "sob"}};
const CalendarNames kThai = {{"มกราคม", "กุมภาพันธ์", "มีนาคม", "เมษายน", "พฤษภาคม", "มิถุนายน",
                              "กรกฎาคม", "สิงหาคม", "กันยายน", "ตุลาคม", "พฤศจิกายน", "ธันวาคม"},
                             {"ม.ค.", "ก.พ.", "มี.ค.", "เม.ย.", "พ.ค.", "มิ.ย.", "ก.ค.", "ส.ค.",
                              "ก.ย.", "ต.ค.", "พ.ย.", "ธ.ค."},
                             {"อาทิตย์", "จันทร์", "อังคาร", "พุธ", "พฤหัสบดี", "ศุกร์", "เสาร์"},
                             {"อา.", "จ.", "อ.", "พ.", "พฤ.", "ศ.", "ส."}};

}  // namespace tavrin::calendar_names
