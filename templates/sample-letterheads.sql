-- Letterheads of two sample companies for table Ditta of Documenti.mdb (UTF-8).
-- Load with: sqlite3 Documenti.mdb < sample-letterheads.sql
DELETE FROM Ditta WHERE Codice = 1;
INSERT INTO Ditta (Codice, Intestazione1, Intestazione2, Intestazione3, Intestazione4, Intestazione5, Intestazione6, Intestazione7, Intestazione8) VALUES (1, 'OFFICINE MERIDIANA S.r.l.', 'Concessionaria e assistenza autorizzata', 'Via dell''Artigianato, 27', '40132 Bologna (BO)', 'Tel. 051 555 0147 - Fax 051 555 0148', 'info@officinemeridiana.example', 'P.IVA e C.F. 01234560375', 'Cap. soc. € 50.000,00 i.v. - REA BO-1234');
DELETE FROM Ditta WHERE Codice = 2;
INSERT INTO Ditta (Codice, Intestazione1, Intestazione2, Intestazione3, Intestazione4, Intestazione5, Intestazione6, Intestazione7, Intestazione8) VALUES (2, 'AUTORIPARAZIONI SANTORO & FIGLI S.n.c.', 'Meccanica - Carrozzeria - Gommista', 'Strada Statale 16, km 312', '70056 Molfetta (BA)', 'Tel. 080 555 2290', 'officina@santoro.example', 'P.IVA 07654320721', '');
