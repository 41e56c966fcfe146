#!/usr/bin/env python3
"""Writes the sample print files of examples/ the way the management program lays them out:
Windows-1252 bytes, CR LF line ends, a document-start line, a control line with the branch and the
workstation, then header, body and totals lines per page, pages separated by a form feed.
Run it again after changing the samples; the demo only copies the files it wrote."""

import pathlib

HERE = pathlib.Path(__file__).resolve().parent
WORKSTATION = "VELARIXDEMO"

KINDS = {
    # code, header lines, body lines
    "ODL": ("01", 14, 40),
    "PRE": ("02", 14, 35),
    "FOM": ("10", 16, 24),
    "FVV": ("11", 14, 34),
}

TITLES = {
    "ODL": "ORDINE DI LAVORO",
    "PRE": "PREVENTIVO",
    "FOM": "FATTURA OFFICINA",
    "FVV": "FATTURA VENDITA VEICOLO",
}


def euro(value):
    whole, cents = divmod(round(value * 100), 100)
    text = f"{whole:,}".replace(",", ".")
    return f"{text},{cents:02d}"


# Payment terms as long as the management program writes them for some customers: the line is
# wider than the header's place and must not make the other header lines smaller.
PAYMENT = {
    "FVV": "Pagamento: 30% alla firma del contratto, saldo alla consegna del veicolo con bonifico "
    "bancario; IBAN IT60 X054 2811 1010 0000 0123 456",
}


def header(kind, number, lines):
    rows = [
        f"{TITLES[kind]:<40}N. {number:<10}Data 07/12/2026",
        "",
        "Spett.le",
        "Officina Meccanica Fratelli Bonì s.n.c.",
        "Via Nazionale, 112",
        "40026 Imola (BO)",
        "P.IVA 01234560375   Cod. Fisc. 01234560375",
        "",
        "Veicolo: Fiat Ducato 2.3 Multijet     Targa: FG 482 ZX",
        "Telaio: ZFA25000002K41234             Km: 128.450",
        "Accettazione: Sig. Niccolò Esposito   Consegna prevista: 09/12/2026",
        PAYMENT.get(kind, "Pagamento: Bonifico bancario 30 gg d.f."),
        "",
        "Codice      Descrizione                          Q.tà    Prezzo €    Importo €",
        "Note: cliente già in garanzia estesa",
        "----------------------------------------------------------------------------",
    ]
    return rows[:lines]


ITEMS = [
    ("OLI5W30", "Olio motore 5W30 sintetico", 6, 12.40),
    ("FIL-OL", "Filtro olio originale", 1, 18.90),
    ("FIL-AR", "Filtro aria abitacolo", 1, 24.50),
    ("PAST-ANT", "Pastiglie freno anteriori", 1, 68.00),
    ("DISCO-A", "Disco freno anteriore ventilato", 2, 54.30),
    ("MO", "Manodopera meccanica (ore)", 3, 42.00),
    ("LIQ-FR", "Liquido freni DOT 4", 1, 9.80),
    ("SPAZZ", "Spazzole tergicristallo", 2, 11.25),
    ("DIAG", "Diagnosi elettronica centralina", 1, 35.00),
    ("CINGH", "Kit cinghia distribuzione e pompa", 1, 289.00),
]


def body_rows(count):
    rows = []
    for i in range(count):
        code, desc, qty, price = ITEMS[i % len(ITEMS)]
        rows.append(f"{code:<12}{desc:<36}{qty:>5}{euro(price):>12}{euro(qty * price):>13}")
    return rows


def totals(amount):
    vat = amount * 0.22
    return [
        "",
        f"{'Imponibile':<50}€ {euro(amount):>14}",
        f"{'IVA 22%':<50}€ {euro(vat):>14}",
        f"{'TOTALE DOCUMENTO':<50}€ {euro(amount + vat):>14}",
        "",
        "Condizioni: la merce viaggia a rischio e pericolo del committente.",
    ]


def document(kind, number, pages, last_items):
    code, header_lines, body_lines = KINDS[kind]
    lines = [f"@VELARIX^{code} {TITLES[kind]}", f"^FL:  1 PC:{WORKSTATION}", ""]
    total = 0.0
    for page in range(1, pages + 1):
        lines += header(kind, number, header_lines)
        count = body_lines if page < pages else last_items
        for i in range(count):
            _, _, qty, price = ITEMS[i % len(ITEMS)]
            total += qty * price
        # A line-printer page has a fixed body: unused rows are left empty.
        lines += body_rows(count) + [""] * (body_lines - count)
        if page < pages:
            # The note stands at the foot of the page, below where the last page's totals end.
            note = f"{'Segue a pagina ' + str(page + 1):>78}"
            lines += [""] * len(totals(0)) + [note, "\f"]
        else:
            lines += totals(total)
    # The reader never stores the line that ends the file: like the line printer's output, the
    # last page is closed by a form feed, so the conditions line is stored with the totals.
    lines.append("\f")
    return ("\r\n".join(lines) + "\r\n").encode("cp1252")


SAMPLES = [
    ("ODL", "ODL00412.001", "412/2026", 2, 12),
    ("PRE", "PRE00087.001", "87/2026", 1, 18),
    ("FOM", "FOM01533.002", "1533/2026", 1, 20),
    ("FVV", "FVV00051.002", "51/2026", 1, 6),
]

for kind, name, number, pages, last in SAMPLES:
    (HERE / name).write_bytes(document(kind, number, pages, last))
    print("wrote", name)
