-- ファンクションのサンプル
CREATE OR REPLACE FUNCTION public.sample_add(a integer, b integer)
RETURNS integer
LANGUAGE plpgsql
AS $$
BEGIN
    RETURN a + b;
END;
$$;
