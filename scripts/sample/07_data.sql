-- Data. Everything is computed from generate_series, so every load gives the same rows.

INSERT INTO hr."部署" ("部署コード", "部署名", "親部署コード", "予算", "設立日") VALUES
    ('100', '本社',           NULL,  NULL,      DATE '1975-04-01'),
    ('110', '経営企画部',     '100', 80000000,  DATE '1990-04-01'),
    ('120', '総務部',         '100', 45000000,  DATE '1975-04-01'),
    ('130', '人事部',         '100', 52000000,  DATE '1975-04-01'),
    ('140', '経理部',         '100', 38000000,  DATE '1975-04-01'),
    ('200', '営業本部',       '100', 150000000, DATE '1985-10-01'),
    ('210', '東日本営業部',   '200', 230000000, DATE '1998-04-01'),
    ('220', '西日本営業部',   '200', 210000000, DATE '1998-04-01'),
    ('300', '物流部',         '100', 120000000, DATE '2003-07-01'),
    ('400', '情報システム部', '100', NULL,      DATE '2010-01-01');

INSERT INTO hr.meeting_rooms (room_code, name, capacity, floor) VALUES
    ('A101', '会議室A', 8, 1),
    ('A102', '会議室B', 6, 1),
    ('B201', '大会議室', 40, 2),
    ('B202', '応接室', 4, 2),
    ('C301', '研修室', 30, 3),
    ('C302', '役員会議室', 12, NULL);

-- 200 employees, numbers 1001 to 1200; the first ten are the heads of the departments.
INSERT INTO hr."社員" ("社員番号", "氏名", "フリガナ", "部署コード", "上司", "入社日", "給与",
                       email, "郵便番号", "住所", is_active, updated_at)
SELECT 1000 + g,
       fam[1 + (g * 7) % 20] || '　' || giv[1 + (g * 13) % 20],
       CASE WHEN g % 19 = 0 THEN NULL
            ELSE famk[1 + (g * 7) % 20] || '　' || givk[1 + (g * 13) % 20] END,
       dept[1 + (g - 1) % 10],
       CASE WHEN g <= 10 THEN NULL ELSE 1000 + 1 + (g - 1) % 10 END,
       DATE '1990-04-01' + (g * 97) % 12000,
       CASE WHEN g % 37 = 0 THEN NULL ELSE 200000 + ((g * 7919) % 400) * 1000 END,
       CASE WHEN g % 23 = 0 THEN NULL ELSE 'emp' || (1000 + g) || '@example.co.jp' END,
       lpad(((g * 131) % 1000)::text, 3, '0') || '-' || lpad(((g * 7411) % 10000)::text, 4, '0'),
       CASE WHEN g % 29 = 0 THEN NULL
            ELSE ROW(lpad(((g * 131) % 1000)::text, 3, '0') || '-' || lpad(((g * 7411) % 10000)::text, 4, '0'),
                     pref[1 + g % 8], city[1 + g % 8], (1 + g % 9) || '丁目' || (1 + g % 30) || '番地')::sales.address END,
       g % 41 <> 0,
       TIMESTAMPTZ '2025-04-01 09:00:00+09' + g * INTERVAL '1 hour'
FROM generate_series(1, 200) AS g,
     LATERAL (SELECT
        ARRAY['佐藤','鈴木','高橋','田中','伊藤','渡辺','山本','中村','小林','加藤',
              '吉田','山田','佐々木','山口','松本','井上','木村','林','清水','斎藤'] AS fam,
        ARRAY['サトウ','スズキ','タカハシ','タナカ','イトウ','ワタナベ','ヤマモト','ナカムラ','コバヤシ','カトウ',
              'ヨシダ','ヤマダ','ササキ','ヤマグチ','マツモト','イノウエ','キムラ','ハヤシ','シミズ','サイトウ'] AS famk,
        ARRAY['太郎','花子','一郎','美咲','健太','由美','翔','陽子','大輔','真理',
              '拓也','恵','直樹','彩','誠','愛','剛','舞','亮','優子'] AS giv,
        ARRAY['タロウ','ハナコ','イチロウ','ミサキ','ケンタ','ユミ','ショウ','ヨウコ','ダイスケ','マリ',
              'タクヤ','メグミ','ナオキ','アヤ','マコト','アイ','ツヨシ','マイ','リョウ','ユウコ'] AS givk,
        ARRAY['100','110','120','130','140','200','210','220','300','400'] AS dept,
        ARRAY['東京都','大阪府','愛知県','福岡県','北海道','神奈川県','京都府','宮城県'] AS pref,
        ARRAY['千代田区','大阪市北区','名古屋市中区','福岡市博多区','札幌市中央区','横浜市西区','京都市下京区','仙台市青葉区'] AS city
     ) AS a;
SELECT setval(pg_get_serial_sequence('hr."社員"', '社員番号'), 1200);

INSERT INTO hr.room_bookings (room_code, booked_on, slot, "社員番号", purpose)
SELECT r.room_code,
       DATE '2025-06-02' + d,
       hr.time_slot(s.lo, s.hi),
       1001 + (d * 7 + s.n * 3 + r.n) % 200,
       (ARRAY['定例会議','商談','面接','研修','打ち合わせ'])[1 + (d + s.n + r.n) % 5]
FROM generate_series(0, 59) AS d,
     (SELECT room_code, row_number() OVER (ORDER BY room_code) AS n FROM hr.meeting_rooms) AS r,
     (VALUES (1, TIME '09:00', TIME '10:00'), (2, TIME '10:30', TIME '12:00'),
             (3, TIME '13:00', TIME '14:30'), (4, TIME '15:00', TIME '17:30')) AS s(n, lo, hi)
WHERE (d + r.n + s.n) % 3 <> 0;

INSERT INTO sales.product_categories (category_id, name, parent_id, "order") VALUES
    (1, '家電', NULL, 10), (2, 'テレビ', 1, 11), (3, '冷蔵庫', 1, 12), (4, 'パソコン', 1, 13),
    (5, '周辺機器', 4, 14), (6, '食品', NULL, 20), (7, '飲料', 6, 21), (8, '菓子', 6, 22),
    (9, '文具', NULL, 30), (10, 'ノート', 9, 31), (11, '筆記具', 9, 32), (12, '家具', NULL, 40);

-- 500 products.
INSERT INTO sales.products (product_id, sku, name, category_id, price, cost, "size ""inch""",
                            dimensions, attributes, discontinued)
SELECT g,
       'SKU-' || lpad(g::text, 5, '0'),
       adj[1 + g % 8] || noun[c - 1] || ' ' || chr(65 + g % 26) || (100 + g),
       c,
       p,
       CASE WHEN g % 13 = 0 THEN NULL ELSE round(p * 0.6, 2) END,
       CASE WHEN c = 2 THEN 24 + (g % 9) * 5 ELSE NULL END,
       CASE WHEN g % 11 = 0 THEN NULL
            ELSE ROW(100 + g % 700, 50 + (g * 3) % 500, 20 + (g * 7) % 400)::inventory.dimensions END,
       jsonb_build_object('color', (ARRAY['白','黒','銀','赤','青','緑'])[1 + g % 6],
                          'warranty_years', g % 4,
                          'made_in', CASE WHEN g % 3 = 0 THEN '日本' ELSE '海外' END)
           || CASE WHEN g % 5 = 0 THEN jsonb_build_object('eco', true) ELSE '{}'::jsonb END,
       g % 17 = 0
FROM generate_series(1, 500) AS g,
     LATERAL (SELECT 2 + g % 11 AS c, (100 + ((g * 379) % 200) * 500)::numeric AS p) AS v,
     LATERAL (SELECT
        ARRAY['新型','高級','省エネ','業務用','ミニ','プレミアム','定番','限定'] AS adj,
        ARRAY['テレビ','冷蔵庫','ノートパソコン','マウス','食品セット','緑茶','せんべい','文具セット',
              'ノート','ボールペン','デスク'] AS noun
     ) AS a;
SELECT setval(pg_get_serial_sequence('sales.products', 'product_id'), 500);

INSERT INTO sales.price_history (product_id, valid_during, price)
SELECT p.product_id, v.period, round(p.price * v.factor, 2)
FROM sales.products AS p,
     (VALUES (daterange('2024-01-01', '2024-07-01'), 0.90),
             (daterange('2024-07-01', '2025-01-01'), 0.95),
             (daterange('2025-01-01', NULL), 1.00)) AS v(period, factor);

-- 2,000 customers.
INSERT INTO sales.customers (customer_id, customer_code, name, name_kana, email, phone, address, rank,
                             tags, preferences, credit_limit, "CustomerNote", created_at)
SELECT g,
       'C' || lpad(g::text, 7, '0'),
       CASE g % 3 WHEN 0 THEN '株式会社' || core[1 + g % 15] || suf[1 + (g / 15) % 10]
                  WHEN 1 THEN core[1 + g % 15] || suf[1 + (g / 15) % 10] || '株式会社'
                  ELSE '有限会社' || core[1 + g % 15] || suf[1 + (g / 15) % 10] END,
       CASE WHEN g % 9 = 0 THEN NULL ELSE corek[1 + g % 15] END,
       CASE WHEN g % 11 = 0 THEN NULL ELSE 'info' || g || '@customer' || (g % 50) || '.example.jp' END,
       CASE WHEN g % 13 = 0 THEN NULL
            ELSE '0' || (3 + g % 7) || '-' || lpad(((g * 37) % 10000)::text, 4, '0') || '-' || lpad(((g * 91) % 10000)::text, 4, '0') END,
       ROW(lpad(((g * 17) % 1000)::text, 3, '0') || '-' || lpad(((g * 53) % 10000)::text, 4, '0'),
           pref[1 + g % 8], city[1 + g % 8], (1 + g % 5) || '-' || (1 + g % 20) || '-' || (1 + g % 12))::sales.address,
       (ARRAY['bronze','bronze','bronze','bronze','silver','silver','silver','gold','gold','platinum'])[1 + g % 10]::sales.customer_rank,
       CASE g % 4 WHEN 0 THEN NULL
                  WHEN 1 THEN ARRAY['法人']
                  WHEN 2 THEN ARRAY['法人', '優良']
                  ELSE ARRAY['新規', 'キャンペーン'] END,
       CASE WHEN g % 6 = 0 THEN NULL
            ELSE jsonb_build_object('newsletter', g % 2 = 0, 'language', CASE WHEN g % 10 = 3 THEN 'en' ELSE 'ja' END) END,
       ((g % 20) * 100000)::numeric,
       CASE WHEN g % 7 = 0 THEN note[1 + (g / 7) % 5] ELSE NULL END,
       TIMESTAMPTZ '2020-01-01 09:00:00+09' + (g * 1237 % 1800) * INTERVAL '1 day' + (g % 480) * INTERVAL '1 minute'
FROM generate_series(1, 2000) AS g,
     LATERAL (SELECT
        ARRAY['山田','青葉','富士','桜','東海','北斗','大和','瑞穂','朝日','若葉','光','日本','三協','中央','新星'] AS core,
        ARRAY['ヤマダ','アオバ','フジ','サクラ','トウカイ','ホクト','ヤマト','ミズホ','アサヒ','ワカバ','ヒカリ','ニホン','サンキョウ','チュウオウ','シンセイ'] AS corek,
        ARRAY['商事','工業','製作所','食品','電機','物産','システム','建設','運輸','薬品'] AS suf,
        ARRAY['東京都','大阪府','愛知県','福岡県','北海道','神奈川県','京都府','宮城県'] AS pref,
        ARRAY['港区','大阪市中央区','名古屋市中村区','北九州市','旭川市','川崎市','宇治市','石巻市'] AS city,
        ARRAY['支払いは月末締め翌月末払い','担当者は営業部の鈴木様','年末は休業','納品時は事前に電話連絡','請求書は郵送希望'] AS note
     ) AS a;
SELECT setval(pg_get_serial_sequence('sales.customers', 'customer_id'), 2000);

-- 10,000 orders over two years; customers with low numbers order more often, some never.
INSERT INTO sales.orders (order_id, customer_id, sales_rep, order_date, ship_date, status, ship_to,
                          "order memo", "user", total)
SELECT g,
       1 + ((g * 7919) % 2000) * (g % 7 + 1) / 7,
       CASE WHEN g % 50 = 0 THEN NULL ELSE 1001 + (g * 31) % 200 END,
       d,
       CASE WHEN s IN ('shipped', 'delivered') THEN d + (1 + g % 7) ELSE NULL END,
       s,
       CASE WHEN g % 3 = 0
            THEN ROW('100-000' || g % 10, '東京都', '中央区', '配送センター' || (1 + g % 4) || '号棟')::sales.address END,
       CASE WHEN g % 5 = 0 THEN (ARRAY['至急','午前中着希望','請求書別送','担当者不在時は受付へ','ギフト包装'])[1 + (g / 5) % 5] END,
       (ARRAY['sample_clerk','sample_manager','yamada','suzuki'])[1 + g % 4],
       0
FROM generate_series(1, 10000) AS g,
     LATERAL (SELECT DATE '2024-01-01' + (g * 17) % 730 AS d,
                     (CASE WHEN g % 20 = 0 THEN 'cancelled'
                           WHEN g % 20 IN (1, 2) THEN 'draft'
                           WHEN g % 20 IN (3, 4, 5) THEN 'confirmed'
                           WHEN g % 20 IN (6, 7, 8, 9) THEN 'shipped'
                           ELSE 'delivered' END)::sales.order_status AS s) AS v;
SELECT setval('sales.orders_order_id_seq', 10000);

-- 50,000 order lines, five per order.
INSERT INTO sales.order_lines (order_id, line_no, product_id, quantity, unit_price, discount)
SELECT (g - 1) / 5 + 1,
       (g - 1) % 5 + 1,
       p.product_id,
       1 + g % 9,
       p.price,
       CASE WHEN g % 10 = 0 THEN 0.05 WHEN g % 25 = 0 THEN 0.10 ELSE 0 END
FROM generate_series(1, 50000) AS g
JOIN sales.products AS p ON p.product_id = 1 + (g::bigint * 104729) % 500;

UPDATE sales.orders AS o
   SET total = t.amount
  FROM (SELECT order_id, sum(round(quantity * unit_price * (1 - discount), 2)) AS amount
          FROM sales.order_lines GROUP BY order_id) AS t
 WHERE t.order_id = o.order_id;

-- An invoice for every shipped or delivered order, numbered by the invoice sequence.
INSERT INTO "経理"."請求書" (order_id, "請求日", "金額", "支払期限", "入金済")
SELECT order_id, ship_date, total, ship_date + 30, status = 'delivered' AND order_id % 7 <> 0
FROM sales.orders
WHERE status IN ('shipped', 'delivered')
ORDER BY order_id;

INSERT INTO sales."ContactHistory" ("ContactedAt", customer_id, "user", channel, "Summary")
SELECT TIMESTAMP '2024-01-05 09:00' + (g * 233 % 700) * INTERVAL '1 day' + (g % 540) * INTERVAL '1 minute',
       1 + (g * 53) % 2000,
       (ARRAY['佐藤','鈴木','高橋','田中'])[1 + g % 4],
       (ARRAY['電話','メール','訪問','Web'])[1 + g % 4],
       CASE WHEN g % 8 = 0 THEN NULL
            ELSE (ARRAY['見積もりの依頼','納期の確認','新商品の案内','請求内容の問い合わせ','定期訪問'])[1 + g % 5] END
FROM generate_series(1, 3000) AS g
ORDER BY g;

INSERT INTO sales.cart_sessions (session_key, customer_id, items, expires_at)
SELECT md5('cart' || g),
       CASE WHEN g % 4 = 0 THEN NULL ELSE 1 + (g * 97) % 2000 END,
       jsonb_build_array(jsonb_build_object('product_id', 1 + g % 500, 'quantity', 1 + g % 3)),
       TIMESTAMPTZ '2026-01-01 00:00:00+09' + g * INTERVAL '1 hour'
FROM generate_series(1, 50) AS g;

INSERT INTO inventory.warehouses (warehouse_id, code, name, location, address, opened_on) VALUES
    (1, 'TKY1', '東京第一倉庫', point(139.77, 35.68), ROW('135-0061', '東京都', '江東区', '豊洲1-1')::sales.address, DATE '1995-04-01'),
    (2, 'OSK1', '大阪倉庫', point(135.50, 34.69), ROW('559-0034', '大阪府', '大阪市住之江区', '南港北2-2')::sales.address, DATE '2001-10-01'),
    (3, 'NGY1', '名古屋倉庫', point(136.91, 35.18), ROW('455-0032', '愛知県', '名古屋市港区', '入船3-3')::sales.address, DATE '2008-06-01'),
    (4, 'FKO1', '福岡倉庫', point(130.40, 33.59), NULL, DATE '2015-02-01'),
    (5, 'SPR1', '札幌冷蔵倉庫', point(141.35, 43.06), ROW('060-0001', '北海道', '札幌市中央区', '北1条西5')::sales.address, NULL);

INSERT INTO inventory.stock (warehouse_id, product_id, quantity, reorder_level, last_counted)
SELECT w, p, (w * p * 37) % 300, 20 + p % 30,
       CASE WHEN (w + p) % 10 = 0 THEN NULL ELSE DATE '2025-12-01' + (w * p) % 28 END
FROM generate_series(1, 5) AS w, generate_series(1, 500) AS p;

-- 20,000 movements from January 2025 into early 2026 (the last ones land in the default partition).
INSERT INTO inventory.stock_movements (warehouse_id, product_id, quantity, reason, moved_at)
SELECT 1 + g % 5,
       1 + (g * 7) % 500,
       CASE WHEN g % 3 = 0 THEN 10 + g % 50 ELSE -(1 + g % 20) END,
       CASE WHEN g % 3 = 0 THEN (ARRAY['入荷','返品'])[1 + g % 2]
            ELSE (ARRAY['出荷','出荷','棚卸調整','破損'])[1 + g % 4] END,
       TIMESTAMP '2025-01-01 00:00' + (g * 28) * INTERVAL '1 minute'
FROM generate_series(1, 20000) AS g
ORDER BY g;

INSERT INTO inventory.inspections (inspection_id, warehouse_id, inspected_on, inspector, passed)
SELECT g, 1 + g % 4, DATE '2024-01-10' + g * 7, (ARRAY['林','清水','斎藤'])[1 + g % 3],
       CASE WHEN g % 15 = 0 THEN NULL ELSE g % 9 <> 0 END
FROM generate_series(1, 100) AS g;

INSERT INTO inventory."冷蔵点検" (inspection_id, warehouse_id, inspected_on, inspector, passed, "温度")
SELECT 1000 + g, 5, DATE '2024-01-03' + g * 7, (ARRAY['木村','井上'])[1 + g % 2], g % 12 <> 0,
       round((-20 + (g % 9) * 0.5)::numeric, 1)
FROM generate_series(1, 60) AS g;

-- The archive tables are guarded; the guard is lifted while they are filled.
ALTER TABLE "Archive"."Orders 2019" DISABLE TRIGGER "Read Only Guard";
INSERT INTO "Archive"."Orders 2019" ("Order ID", "Customer", "Order Date", "Amount")
SELECT 190000 + g,
       (ARRAY['株式会社山田商事','青葉工業株式会社','有限会社富士食品','桜電機株式会社'])[1 + g % 4],
       DATE '2019-01-01' + g % 365,
       CASE WHEN g % 10 = 0 THEN NULL ELSE (1000 + (g * 733) % 90000)::numeric END
FROM generate_series(1, 300) AS g;
ALTER TABLE "Archive"."Orders 2019" ENABLE TRIGGER "Read Only Guard";

INSERT INTO "Archive"."Memo ""Draft""" (id, "Memo") VALUES
    (1, '来期の販売計画（案）'),
    (2, 'Price list "2019" draft'),
    (3, NULL),
    (4, '倉庫の統合について'),
    (5, 'It''s a memo with an apostrophe');

-- Move a few orders on so that the audit trail shows status changes.
UPDATE sales.orders SET status = 'shipped', ship_date = order_date + 3
 WHERE order_id IN (3, 4, 5) AND status = 'confirmed';
UPDATE sales.orders SET status = 'confirmed' WHERE order_id IN (1, 2) AND status = 'draft';
