-- Functions, an aggregate and procedures.

-- SQL function with a default argument.
CREATE FUNCTION sales.price_with_tax(price numeric, rate numeric DEFAULT 0.10)
    RETURNS numeric
    LANGUAGE sql IMMUTABLE PARALLEL SAFE
    AS $$ SELECT round(price * (1 + rate)) $$;
COMMENT ON FUNCTION sales.price_with_tax(numeric, numeric) IS '税込価格を求める（税率の既定値は10%）';

-- SQL function reading a table.
CREATE FUNCTION sales.order_total(p_order_id bigint)
    RETURNS numeric
    LANGUAGE sql STABLE
    AS $$
        SELECT coalesce(sum(round(quantity * unit_price * (1 - discount), 2)), 0)
        FROM sales.order_lines
        WHERE order_id = p_order_id
    $$;
COMMENT ON FUNCTION sales.order_total(bigint) IS '受注明細から受注合計を計算する';

-- OUT arguments.
CREATE FUNCTION sales.customer_stats(IN p_customer_id integer,
                                     OUT order_count bigint,
                                     OUT total_amount numeric,
                                     OUT last_order date)
    LANGUAGE sql STABLE
    AS $$
        SELECT count(*), coalesce(sum(total), 0), max(order_date)
        FROM sales.orders
        WHERE customer_id = p_customer_id AND status <> 'cancelled'
    $$;
COMMENT ON FUNCTION sales.customer_stats(integer) IS '顧客ごとの受注件数、合計金額、最終受注日';

-- INOUT arguments.
CREATE FUNCTION sales.normalize_range(INOUT lo numeric, INOUT hi numeric)
    LANGUAGE plpgsql IMMUTABLE
    AS $$
    BEGIN
        IF lo > hi THEN
            SELECT hi, lo INTO lo, hi;
        END IF;
    END
    $$;
COMMENT ON FUNCTION sales.normalize_range(numeric, numeric) IS '下限と上限が逆なら入れ替える';

-- VARIADIC argument.
CREATE FUNCTION sales.join_codes(sep text, VARIADIC codes text[])
    RETURNS text
    LANGUAGE sql IMMUTABLE
    AS $$ SELECT array_to_string(codes, sep) $$;
COMMENT ON FUNCTION sales.join_codes(text, text[]) IS 'コードを区切り文字でつなぐ（可変長引数）';

-- RETURNS TABLE.
CREATE FUNCTION sales.top_customers(p_limit integer DEFAULT 10, p_since date DEFAULT NULL)
    RETURNS TABLE (customer_id integer, customer_name text, order_count bigint, total_amount numeric)
    LANGUAGE plpgsql STABLE
    AS $$
    BEGIN
        RETURN QUERY
            SELECT c.customer_id, c.name, count(o.order_id), sum(o.total)::numeric
            FROM sales.customers c
            JOIN sales.orders o ON o.customer_id = c.customer_id
            WHERE o.status <> 'cancelled'
              AND (p_since IS NULL OR o.order_date >= p_since)
            GROUP BY c.customer_id, c.name
            ORDER BY sum(o.total) DESC, c.customer_id
            LIMIT p_limit;
    END
    $$;
COMMENT ON FUNCTION sales.top_customers(integer, date) IS '売上上位の顧客（表を返す関数）';

-- Overloads of one name.
CREATE FUNCTION inventory.stock_of(p_product_id integer)
    RETURNS bigint
    LANGUAGE sql STABLE
    AS $$ SELECT coalesce(sum(quantity), 0) FROM inventory.stock WHERE product_id = p_product_id $$;
CREATE FUNCTION inventory.stock_of(p_warehouse_id smallint, p_product_id integer)
    RETURNS integer
    LANGUAGE sql STABLE
    AS $$ SELECT quantity FROM inventory.stock WHERE warehouse_id = p_warehouse_id AND product_id = p_product_id $$;
COMMENT ON FUNCTION inventory.stock_of(integer) IS '全倉庫の在庫合計';
COMMENT ON FUNCTION inventory.stock_of(smallint, integer) IS '指定した倉庫の在庫数';

-- SETOF a table's row type.
CREATE FUNCTION inventory.low_stock(p_warehouse_id smallint DEFAULT NULL)
    RETURNS SETOF inventory.stock
    LANGUAGE sql STABLE
    AS $$
        SELECT * FROM inventory.stock
        WHERE quantity < reorder_level
          AND (p_warehouse_id IS NULL OR warehouse_id = p_warehouse_id)
        ORDER BY warehouse_id, product_id
    $$;
COMMENT ON FUNCTION inventory.low_stock(smallint) IS '発注点を下回った在庫';

-- A function with a Japanese name and argument.
CREATE FUNCTION hr."勤続年数"("入社日" date, "基準日" date DEFAULT CURRENT_DATE)
    RETURNS integer
    LANGUAGE sql STABLE
    AS $$ SELECT extract(year FROM age("基準日", "入社日"))::integer $$;
COMMENT ON FUNCTION hr."勤続年数"(date, date) IS '入社日から基準日までの勤続年数';

-- A security-definer function with a fixed search path.
CREATE FUNCTION hr.department_headcount(p_code character)
    RETURNS bigint
    LANGUAGE sql STABLE SECURITY DEFINER
    SET search_path = hr, pg_temp
    AS $$ SELECT count(*) FROM "社員" WHERE "部署コード" = p_code AND is_active $$;
COMMENT ON FUNCTION hr.department_headcount(character) IS '部署の在籍人数（定義者権限で実行）';

-- Aggregate: weighted average, e.g. of unit prices weighted by quantity.
CREATE FUNCTION sales.weighted_avg_step(state numeric[], value numeric, weight numeric)
    RETURNS numeric[]
    LANGUAGE sql IMMUTABLE PARALLEL SAFE
    AS $$
        SELECT CASE WHEN value IS NULL OR weight IS NULL THEN state
                    ELSE ARRAY[state[1] + value * weight, state[2] + weight] END
    $$;
CREATE FUNCTION sales.weighted_avg_final(state numeric[])
    RETURNS numeric
    LANGUAGE sql IMMUTABLE PARALLEL SAFE
    AS $$ SELECT CASE WHEN state[2] = 0 THEN NULL ELSE round(state[1] / state[2], 4) END $$;
CREATE AGGREGATE sales.weighted_avg(value numeric, weight numeric) (
    SFUNC = sales.weighted_avg_step,
    STYPE = numeric[],
    FINALFUNC = sales.weighted_avg_final,
    INITCOND = '{0,0}'
);
COMMENT ON AGGREGATE sales.weighted_avg(numeric, numeric) IS '加重平均（集約関数）';

-- Procedures.
CREATE PROCEDURE sales.cancel_order(p_order_id bigint, p_reason text DEFAULT NULL)
    LANGUAGE plpgsql
    AS $$
    BEGIN
        UPDATE sales.orders
           SET status = 'cancelled',
               "order memo" = coalesce(p_reason, "order memo")
         WHERE order_id = p_order_id
           AND status IN ('draft', 'confirmed');
        IF NOT FOUND THEN
            RAISE EXCEPTION '受注 % は取り消せません', p_order_id;
        END IF;
    END
    $$;
COMMENT ON PROCEDURE sales.cancel_order(bigint, text) IS '受注を取り消す（出荷前のみ）';

CREATE PROCEDURE inventory.transfer_stock(p_from smallint, p_to smallint, p_product_id integer,
                                          p_quantity integer, INOUT moved integer DEFAULT 0)
    LANGUAGE plpgsql
    AS $$
    BEGIN
        UPDATE inventory.stock SET quantity = quantity - p_quantity
         WHERE warehouse_id = p_from AND product_id = p_product_id;
        INSERT INTO inventory.stock (warehouse_id, product_id, quantity)
        VALUES (p_to, p_product_id, p_quantity)
        ON CONFLICT (warehouse_id, product_id)
        DO UPDATE SET quantity = inventory.stock.quantity + EXCLUDED.quantity;
        INSERT INTO inventory.stock_movements (warehouse_id, product_id, quantity, reason, moved_at)
        VALUES (p_from, p_product_id, -p_quantity, '倉庫間移動（出）', localtimestamp),
               (p_to, p_product_id, p_quantity, '倉庫間移動（入）', localtimestamp);
        moved := p_quantity;
    END
    $$;
COMMENT ON PROCEDURE inventory.transfer_stock(smallint, smallint, integer, integer, integer) IS '倉庫間で在庫を移す';

-- Trigger functions.
CREATE FUNCTION hr.set_updated_at()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    BEGIN
        NEW.updated_at := now();
        RETURN NEW;
    END
    $$;
COMMENT ON FUNCTION hr.set_updated_at() IS '更新日時を設定するトリガー関数';

CREATE FUNCTION sales.log_order_change()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    BEGIN
        IF TG_OP = 'INSERT' THEN
            INSERT INTO sales.order_audit (order_id, action, new_status) VALUES (NEW.order_id, 'I', NEW.status);
            RETURN NEW;
        ELSIF TG_OP = 'UPDATE' THEN
            INSERT INTO sales.order_audit (order_id, action, old_status, new_status)
            VALUES (NEW.order_id, 'U', OLD.status, NEW.status);
            RETURN NEW;
        ELSE
            INSERT INTO sales.order_audit (order_id, action, old_status) VALUES (OLD.order_id, 'D', OLD.status);
            RETURN OLD;
        END IF;
    END
    $$;
COMMENT ON FUNCTION sales.log_order_change() IS '受注の変更を履歴に記録するトリガー関数';

CREATE FUNCTION sales.log_line_statement()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    DECLARE
        n bigint;
    BEGIN
        IF TG_OP = 'INSERT' THEN
            SELECT count(*) INTO n FROM new_rows;
        END IF;
        INSERT INTO sales.line_change_log (operation, row_count) VALUES (TG_OP, n);
        RETURN NULL;
    END
    $$;
COMMENT ON FUNCTION sales.log_line_statement() IS '受注明細の文単位の変更を記録するトリガー関数';

CREATE FUNCTION inventory.check_stock_movement()
    RETURNS trigger
    LANGUAGE plpgsql
    AS $$
    BEGIN
        IF NEW.reason IS NULL OR btrim(NEW.reason) = '' THEN
            RAISE EXCEPTION '入出庫の理由は必須です';
        END IF;
        RETURN NEW;
    END
    $$;
COMMENT ON FUNCTION inventory.check_stock_movement() IS '入出庫の理由を確認するトリガー関数';
