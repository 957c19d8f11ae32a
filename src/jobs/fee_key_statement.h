// The select list of the fee-key statements of the fee calculation and the
// department overview, which read the same columns under the same aliases.
#pragma once

namespace kb6 {

inline constexpr const char* kFeeKeyColumns =
    "SELECT BEITRAGSSCHLUESSEL.NR_ABTEILUNG as AbtNummer, BEITRAGSSCHLUESSEL.NR_BS as BSNummer, "
    "STAMM1.NAME as BSName, BEITRAGSSCHLUESSEL.DATUM1 as ErhebungVon, BEITRAGSSCHLUESSEL.DATUM2 as "
    "ErhebungBis, BEITRAGSSCHLUESSEL.DATUM3 as Sollstellung, BEITRAGSSCHLUESSEL.BEI_KUE_1J as "
    "Kuerzung1Jahr, STAMM1.BERECH_ART as Berechnungsart, BEITRAGSSCHLUESSEL.ZAHL2 as BetragWert, "
    "BEITRAGSSCHLUESSEL.ZAHL3 as BetragZaehler, STAMM1.ME as Einheit, STAMM1.ZW as Zahlungsweise"
    ", STAMM1.JB as Jahresbeitrag, STAMM1.JB2 as Jahresbeitrag2, STAMM1.JB3 as Jahresbeitrag3, "
    "STAMM1.JB4 as Jahresbeitrag4, STAMM1.JB5 as Jahresbeitrag5"
    ", STAMM1.ANZ_PERS1 as Personen1, STAMM1.ANZ_PERS2 as Personen2, STAMM1.ANZ_PERS3 as "
    "Personen3, STAMM1.ANZ_PERS4 as Personen4, STAMM1.ANZ_PERS5 as Personen5";

}  // namespace kb6
